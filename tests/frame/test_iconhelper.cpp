// The icon font: glyph buttons and glyph pictures.
#include "iconhelper.h"

#include <QApplication>
#include <QPushButton>
#include <QtTest>

class TestIconHelper : public QObject
{
    Q_OBJECT

private slots:
    void loadsTheIconFont()
    {
        QVERIFY(IconHelper::Instance() == IconHelper::Instance());
        QVERIFY(
            IconHelper::Instance()->iconFont().family().contains(QStringLiteral("FontAwesome")));
    }

    void buttonShowsTheGlyphAtItsSize()
    {
        QPushButton b;
        IconHelper::Instance()->setIcon(&b, QChar(0xF122), 16);
        QCOMPARE(b.text(), QString(QChar(0xF122)));
        QCOMPARE(b.font().family(), IconHelper::Instance()->iconFont().family());
        QCOMPARE(b.font().pointSize(), 16);
    }

    void pixmapHoldsTheGlyphCentred()
    {
        const QImage img =
            IconHelper::Instance()->getPixmap("#FEFEFE", QChar(0xF013), 50, 100, 70).toImage();
        QCOMPARE(img.size(), QSize(100, 70));
        QCOMPARE(img.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(img.pixelColor(99, 69).alpha(), 0);
        int inked = 0;
        QRect box;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixelColor(x, y).alpha() > 200) {
                    ++inked;
                    box |= QRect(x, y, 1, 1);
                    QCOMPARE(img.pixelColor(x, y).red(), 0xFE);
                }
        QVERIFY2(inked > 500, "the gear should be drawn large");
        // Centred: the ink's middle is within a few pixels of the picture's.
        QVERIFY(qAbs(box.center().x() - 50) <= 4);
        QVERIFY(qAbs(box.center().y() - 35) <= 4);
    }

    void missingFontIsReported()
    {
        QTest::ignoreMessage(QtDebugMsg, "load fontawesome-webfont.ttf error");
        QCOMPARE(IconHelper::loadFontFamily(QStringLiteral(":/no/such/font.ttf")), QString());
    }
};

int main(int argc, char *argv[])
{
    // The suite runs with debug output off; this test reads a debug line.
    qputenv("QT_LOGGING_RULES", "default.debug=true");
    QApplication app(argc, argv);
    TestIconHelper t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_iconhelper.moc"
