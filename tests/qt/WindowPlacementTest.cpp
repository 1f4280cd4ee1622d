// Twips and pixels, the window's position, and the mend for a window saved off every screen.

#include "qt/WindowPlacement.h"
#include "link/RunTimeError.h"
#include "qt/Twips.h"
#include "tests/qt/QtTestMain.h"
#include "tests/qt/WindowFixture.h"

#include <QScreen>

#include <limits>

using namespace quorvel;
using quorvel::testing::WindowFixture;

using RectList = QList<QRect>;

class WindowPlacementTest : public QObject {
    Q_OBJECT

private slots:
    void twipsToPixels_data() {
        QTest::addColumn<double>("twips");
        QTest::addColumn<double>("dpi");
        QTest::addColumn<int>("expected");
        QTest::newRow("one inch at 96") << 1440.0 << 96.0 << 96;
        QTest::newRow("one pixel at 96") << 15.0 << 96.0 << 1;
        QTest::newRow("fraction rounds down") << 7.0 << 96.0 << 0;
        QTest::newRow("fraction rounds up") << 8.0 << 96.0 << 1;
        QTest::newRow("negative") << -1500.0 << 96.0 << -100;
        QTest::newRow("one inch at 120") << 1440.0 << 120.0 << 120;
        QTest::newRow("one inch at 144") << 1440.0 << 144.0 << 144;
        QTest::newRow("saved fraction") << 7.5 << 192.0 << 1;
        QTest::newRow("far beyond any screen") << 1e30 << 96.0 << QWIDGETSIZE_MAX;
        QTest::newRow("far before any screen") << -1e30 << 96.0 << -QWIDGETSIZE_MAX;
    }

    void twipsToPixels() {
        QFETCH(double, twips);
        QFETCH(double, dpi);
        QFETCH(int, expected);
        QCOMPARE(quorvel::twipsToPixels(twips, dpi), expected);
    }

    void notANumberIsAnInvalidPropertyValue() {
        for (const double twips : {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
            try {
                quorvel::twipsToPixels(twips, 96);
                QFAIL("no error");
            } catch (const RunTimeError& error) {
                QCOMPARE(error.number(), 380);
            }
        }
    }

    void placement_data() {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<RectList>("screens");
        QTest::addColumn<QRect>("primary");
        QTest::addColumn<QPoint>("expected");
        const QRect left(0, 0, 1920, 1050);
        const QRect right(1920, 0, 1280, 1024);
        const QRect panelOnTop(0, 30, 1920, 1050);

        QTest::newRow("inside the primary") << QRect(100, 100, 185, 192) << RectList{left} << left << QPoint(100, 100);
        QTest::newRow("at the origin") << QRect(0, 0, 185, 192) << RectList{left} << left << QPoint(0, 0);
        QTest::newRow("partly off the right edge")
            << QRect(1900, 100, 185, 192) << RectList{left} << left << QPoint(1900, 100);
        QTest::newRow("partly above the top")
            << QRect(50, -150, 185, 192) << RectList{left} << left << QPoint(50, -150);
        QTest::newRow("on the second screen")
            << QRect(2500, 500, 185, 192) << RectList{left, right} << left << QPoint(2500, 500);
        QTest::newRow("second screen gone") << QRect(2500, 500, 185, 192) << RectList{left} << left << QPoint(0, 0);
        QTest::newRow("below the shorter screen")
            << QRect(2000, 1030, 185, 192) << RectList{left, right} << left << QPoint(0, 0);
        QTest::newRow("far to the left") << QRect(-5000, 10, 185, 192) << RectList{left} << left << QPoint(0, 0);
        QTest::newRow("just past the corner") << QRect(1920, 1050, 185, 192) << RectList{left} << left << QPoint(0, 0);
        QTest::newRow("primary area below a panel")
            << QRect(4000, 4000, 185, 192) << RectList{panelOnTop} << panelOnTop << QPoint(0, 30);
    }

    void placement() {
        QFETCH(QRect, frame);
        QFETCH(RectList, screens);
        QFETCH(QRect, primary);
        QFETCH(QPoint, expected);
        QCOMPARE(placementOnScreens(frame, screens, primary), expected);
    }

    // The window's left and top go through the screen's logical DPI both ways.
    void positionInTwips() {
        WindowFixture f;
        const int dpiX = f.window.logicalDpiX();
        const int dpiY = f.window.logicalDpiY();
        f.window.setLeft(1500);
        f.window.setTop(3000);
        QCOMPARE(f.window.pos(), QPoint(quorvel::twipsToPixels(1500, dpiX), quorvel::twipsToPixels(3000, dpiY)));
        QCOMPARE(f.window.left(), pixelsToTwips(f.window.x(), dpiX));
        QCOMPARE(f.window.top(), pixelsToTwips(f.window.y(), dpiY));
        if (dpiX == 96 && dpiY == 96) {
            QCOMPARE(f.window.pos(), QPoint(100, 200));
            QCOMPARE(f.window.left(), 1500.0);
        }
    }

    // Start-up places the window off every screen: it is shown on the primary screen, and the
    // stored position stays as it was until Exit saves the new one.
    void windowSavedOffEveryScreenIsShownOnThePrimary() {
        WindowFixture f;
        f.settings.set("FormLeft", "9000000");
        f.settings.set("FormTop", "-9000000");
        f.load();
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QCOMPARE(f.window.pos(), QGuiApplication::primaryScreen()->availableGeometry().topLeft());
        QCOMPARE(f.settings.get("FormLeft"), std::string("9000000"));
        QCOMPARE(f.settings.get("FormTop"), std::string("-9000000"));
    }

    void windowOnAScreenStaysWhereItWasSaved() {
        WindowFixture f;
        f.settings.set("FormLeft", "1500");
        f.settings.set("FormTop", "750");
        f.load();
        const QPoint placed = f.window.pos();
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QCOMPARE(f.window.pos(), placed);
    }
};

QUORVEL_QT_TEST(WindowPlacementTest)
#include "WindowPlacementTest.moc"
