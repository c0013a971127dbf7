// Moving and resizing a window without the platform's frame, on a plain widget
// that forwards its mouse events the way the main window does; the icon font's glyphs.
#include "framelesshelper.h"
#include "iconhelper.h"

#include <QMouseEvent>
#include <QRawFont>
#include <QWidget>
#include <QtTest>

namespace {

class FramedWidget : public QWidget
{
public:
    FramedWidget() : frame(this)
    {
        setWindowFlags(Qt::FramelessWindowHint);
        setMouseTracking(true);
        setMinimumSize(200, 150);
    }
    FramelessHelper frame;

    void hover(QPoint at) { send(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton); }
    void drag(QPoint from, QPoint to, bool release = true)
    {
        hover(from);
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        if (release)
            send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }

protected:
    void mousePressEvent(QMouseEvent *e) override { frame.mousePress(e); }
    void mouseMoveEvent(QMouseEvent *e) override { frame.mouseMove(e); }
    void mouseReleaseEvent(QMouseEvent *e) override { frame.mouseRelease(e); }

private:
    void send(QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent e(type, mapFromGlobal(global), global, button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(this, &e);
    }
};

const QRect Start(100, 100, 400, 300); // last pixel column 499, last row 399
using F = FramelessHelper;

} // namespace

class TestFrameless : public QObject
{
    Q_OBJECT
    FramedWidget *w = nullptr;

private slots:
    void init()
    {
        w = new FramedWidget;
        w->setGeometry(Start);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }
    void cleanup() { delete w; }

    // The bands are two pixels wide on every side.
    void regionUnderTheCursor_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("region");
        QTest::addColumn<int>("cursor");
        QTest::newRow("left outer") << QPoint(100, 200) << 2 << int(Qt::SizeHorCursor);
        QTest::newRow("left inner") << QPoint(101, 200) << 2 << int(Qt::SizeHorCursor);
        QTest::newRow("past left band") << QPoint(102, 200) << 8 << int(Qt::ArrowCursor);
        QTest::newRow("top-left") << QPoint(101, 101) << 4 << int(Qt::SizeFDiagCursor);
        QTest::newRow("bottom-left") << QPoint(100, 399) << 5 << int(Qt::SizeBDiagCursor);
        QTest::newRow("top-right") << QPoint(499, 100) << 7 << int(Qt::SizeBDiagCursor);
    }
    void regionUnderTheCursor()
    {
        QFETCH(QPoint, at);
        QFETCH(int, region);
        QFETCH(int, cursor);
        w->hover(at);
        QCOMPARE(int(w->frame.region()), region);
        QCOMPARE(int(w->cursor().shape()), cursor);
        w->frame.leftEdge(); // the pointer goes on to the contents
        QCOMPARE(int(w->frame.region()), int(F::Inside));
        QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
    }

    void dragMovesTheWindowLeftEdgeStopsAtTheMinimumWidth()
    {
        w->drag({300, 200}, {320, 230}); // inside: moves
        QCOMPARE(w->geometry(), Start.translated(20, 30));
        w->setGeometry(Start);
        w->drag({100, 200}, {250, 200}, false); // width 250 > 200: taken
        QCOMPARE(w->geometry(), QRect(QPoint(250, 100), QPoint(499, 399)));
        w->drag({250, 200}, {350, 200}, false); // 149 is not above the minimum: ignored
        QCOMPARE(w->geometry(), QRect(QPoint(250, 100), QPoint(499, 399)));
        w->drag({250, 200}, {60, 200}); // growing is always taken
        QCOMPARE(w->geometry(), QRect(QPoint(60, 100), QPoint(499, 399)));
        QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!w->frame.leftPressed());
    }

    void otherEdgesAndCorners()
    {
        const QSize min(200, 150);
        QCOMPARE(F::resized(Start, F::Top, {300, 150}, min),
                 QRect(QPoint(100, 150), QPoint(499, 399)));
        QCOMPARE(F::resized(Start, F::Top, {300, 300}, min), Start); // 99 is not above 150
        QCOMPARE(F::resized(Start, F::BottomRight, {601, 451}, min),
                 QRect(QPoint(100, 100), QPoint(600, 450)));
        // The same pull that the left edge refuses is taken by the bottom-left corner.
        QCOMPARE(F::resized(Start, F::Left, {450, 300}, min), Start);
        QCOMPARE(F::resized(Start, F::BottomLeft, {450, 300}, min),
                 QRect(QPoint(450, 100), QPoint(499, 299)));
        w->drag({100, 399}, {450, 300});
        QCOMPARE(w->geometry().left(), 450);
    }

    // Title bar, home menus and return buttons.
    void iconFontHasTheGlyphsInUse()
    {
        QFont font = IconHelper::Instance()->iconFont();
        QVERIFY(font.family().contains(QStringLiteral("FontAwesome")));
        font.setPixelSize(16);
        const QRawFont raw = QRawFont::fromFont(font);
        for (uint code : {0xF150u, 0xF068u, 0xF2D0u, 0xF00Du, 0xF073u, 0xF122u, 0xF01Bu, 0xF085u,
                          0xF013u, 0xF108u})
            QVERIFY2(raw.supportsCharacter(code), qPrintable(QString::number(code, 16)));
    }
};

QTEST_MAIN(TestFrameless)
#include "test_frameless.moc"
