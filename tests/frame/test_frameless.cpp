// Moving and resizing a window without the platform's frame, on a plain widget
// that forwards its mouse events the way the main window does.
#include "framelesshelper.h"

#include <QMouseEvent>
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

    void hover(QPoint global) { send(QEvent::MouseMove, global, Qt::NoButton, Qt::NoButton); }
    void press(QPoint global)
    {
        send(QEvent::MouseButtonPress, global, Qt::LeftButton, Qt::LeftButton);
    }
    void drag(QPoint global) { send(QEvent::MouseMove, global, Qt::NoButton, Qt::LeftButton); }
    void release(QPoint global)
    {
        send(QEvent::MouseButtonRelease, global, Qt::LeftButton, Qt::NoButton);
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

} // namespace

class TestFrameless : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        w = new FramedWidget;
        w->setGeometry(Start);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(w->geometry(), Start);
    }
    void cleanup() { delete w; }

    void regionUnderTheCursor_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("region");
        QTest::addColumn<int>("cursor");
        QTest::newRow("left outer") << QPoint(100, 200) << 2 << int(Qt::SizeHorCursor);
        QTest::newRow("left inner") << QPoint(101, 200) << 2 << int(Qt::SizeHorCursor);
        QTest::newRow("past left band") << QPoint(102, 200) << 8 << int(Qt::ArrowCursor);
        QTest::newRow("right") << QPoint(499, 200) << 3 << int(Qt::SizeHorCursor);
        QTest::newRow("right inner") << QPoint(498, 200) << 3 << int(Qt::SizeHorCursor);
        QTest::newRow("past right band") << QPoint(497, 200) << 8 << int(Qt::ArrowCursor);
        QTest::newRow("top") << QPoint(300, 100) << 0 << int(Qt::SizeVerCursor);
        QTest::newRow("top inner") << QPoint(300, 101) << 0 << int(Qt::SizeVerCursor);
        QTest::newRow("bottom") << QPoint(300, 399) << 1 << int(Qt::SizeVerCursor);
        QTest::newRow("bottom inner") << QPoint(300, 398) << 1 << int(Qt::SizeVerCursor);
        QTest::newRow("top-left") << QPoint(101, 101) << 4 << int(Qt::SizeFDiagCursor);
        QTest::newRow("bottom-left") << QPoint(100, 399) << 5 << int(Qt::SizeBDiagCursor);
        QTest::newRow("bottom-right") << QPoint(498, 398) << 6 << int(Qt::SizeFDiagCursor);
        QTest::newRow("top-right") << QPoint(499, 100) << 7 << int(Qt::SizeBDiagCursor);
        QTest::newRow("inside") << QPoint(300, 200) << 8 << int(Qt::ArrowCursor);
    }

    void regionUnderTheCursor()
    {
        QFETCH(QPoint, at);
        QFETCH(int, region);
        QFETCH(int, cursor);
        w->hover(at);
        QCOMPARE(int(w->frame.region()), region);
        QCOMPARE(int(w->cursor().shape()), cursor);
    }

    void dragInsideMovesTheWindow()
    {
        w->hover({300, 200});
        w->press({300, 200});
        w->drag({320, 230});
        w->release({320, 230});
        QCOMPARE(w->geometry(), Start.translated(20, 30));
    }

    void leftEdgeStopsAtTheMinimumWidth()
    {
        w->hover({100, 200});
        w->press({100, 200});
        w->drag({250, 200}); // width 250 > 200: taken
        QCOMPARE(w->geometry(), QRect(QPoint(250, 100), QPoint(499, 399)));
        w->drag({350, 200}); // 499 - 350 = 149 is not above the minimum: ignored
        QCOMPARE(w->geometry(), QRect(QPoint(250, 100), QPoint(499, 399)));
        w->drag({60, 200}); // growing is always taken
        QCOMPARE(w->geometry(), QRect(QPoint(60, 100), QPoint(499, 399)));
        w->release({60, 200});
        QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!w->frame.leftPressed());
    }

    void otherEdgesAndCorners()
    {
        const QSize min(200, 150);
        using F = FramelessHelper;
        QCOMPARE(F::resized(Start, F::Top, {300, 150}, min),
                 QRect(QPoint(100, 150), QPoint(499, 399)));
        QCOMPARE(F::resized(Start, F::Top, {300, 300}, min), Start); // 99 is not above 150
        QCOMPARE(F::resized(Start, F::Bottom, {300, 451}, min),
                 QRect(QPoint(100, 100), QPoint(499, 450)));
        QCOMPARE(F::resized(Start, F::Right, {601, 200}, min),
                 QRect(QPoint(100, 100), QPoint(600, 399)));
        QCOMPARE(F::resized(Start, F::TopLeft, {350, 120}, min),
                 QRect(QPoint(100, 120), QPoint(499, 399)));
        QCOMPARE(F::resized(Start, F::BottomRight, {601, 451}, min),
                 QRect(QPoint(100, 100), QPoint(600, 450)));
        QCOMPARE(F::resized(Start, F::TopRight, {601, 380}, min),
                 QRect(QPoint(100, 380), QPoint(600, 399)));
    }

    void bottomLeftCornerHasNoMinimumStop()
    {
        using F = FramelessHelper;
        // The same pull that the left edge refuses is taken by the corner.
        QCOMPARE(F::resized(Start, F::Left, {450, 300}, {200, 150}), Start);
        QCOMPARE(F::resized(Start, F::BottomLeft, {450, 300}, {200, 150}),
                 QRect(QPoint(450, 100), QPoint(499, 299)));
        w->hover({100, 399});
        w->press({100, 399});
        w->drag({450, 300});
        w->release({450, 300});
        QCOMPARE(w->geometry().left(), 450);
    }

    void cursorLeavesTheBandForTheContents()
    {
        w->hover({100, 200});
        QCOMPARE(w->cursor().shape(), Qt::SizeHorCursor);
        w->frame.leftEdge();
        QCOMPARE(int(w->frame.region()), int(FramelessHelper::Inside));
        QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
    }

    void maximizeThenRestoreReturnsTheExactRectangle()
    {
        const QRect odd(123, 77, 641, 479);
        w->setGeometry(odd);
        const QRect screen(0, 0, 1400, 1000);
        w->frame.toggleMaximized(screen);
        QVERIFY(w->frame.isMaximized());
        QCOMPARE(w->geometry(), screen);
        w->frame.toggleMaximized(screen);
        QVERIFY(!w->frame.isMaximized());
        QCOMPARE(w->geometry(), odd);
        // A window moved while maximized still comes back to where it was.
        w->frame.toggleMaximized(screen);
        w->move(10, 10);
        w->frame.toggleMaximized(screen);
        QCOMPARE(w->geometry(), odd);
    }

private:
    FramedWidget *w = nullptr;
};

QTEST_MAIN(TestFrameless)
#include "test_frameless.moc"
