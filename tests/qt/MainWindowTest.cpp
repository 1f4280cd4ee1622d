// The window as created: layout, menus, focus, lamps, timers, caption and icon; and the two ways
// the program ends.

#include "qt/ExtensionArrowStyle.h"
#include "qt/QtLamp.h"
#include "qt/QtTextBox.h"
#include "tests/qt/QtTestMain.h"
#include "tests/qt/WindowFixture.h"

#include <QAbstractButton>
#include <QCommonStyle>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSlider>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

using namespace quorvel;
using quorvel::testing::WindowFixture;

namespace {
int pixels(int twips, int dpi) {
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}
} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void controlGeometry_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QRect>("at96dpi");
        QTest::newRow("slider") << "sldTxPwr" << QRect(240, 120, 675, 2295) << QRect(16, 8, 45, 153);
        QTest::newRow("power label") << "lblTxPwr" << QRect(960, 240, 735, 255) << QRect(64, 16, 49, 17);
        QTest::newRow("power box") << "txtTxPwr" << QRect(1800, 120, 735, 435) << QRect(120, 8, 49, 29);
        QTest::newRow("PA label") << "Label1" << QRect(960, 720, 495, 255) << QRect(64, 48, 33, 17);
        QTest::newRow("PA lamp") << "shpPAEnabled" << QRect(960, 1080, 495, 255) << QRect(64, 72, 33, 17);
        QTest::newRow("Poll") << "cmdPoll" << QRect(1680, 1320, 735, 495) << QRect(112, 88, 49, 33);
        QTest::newRow("link label") << "Label2" << QRect(960, 1560, 735, 255) << QRect(64, 104, 49, 17);
        QTest::newRow("link lamp") << "shpK3Con" << QRect(960, 1920, 495, 255) << QRect(64, 128, 33, 17);
        QTest::newRow("Exit") << "cmdExit" << QRect(1680, 1920, 735, 495) << QRect(112, 128, 49, 33);
        QTest::newRow("client area") << "client" << QRect(0, 0, 2775, 2595) << QRect(0, 0, 185, 173);
    }

    void controlGeometry() {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(QRect, at96dpi);
        WindowFixture f;
        QWidget* control = f.window.findChild<QWidget*>(name);
        QVERIFY(control != nullptr);
        const int dpiX = control->logicalDpiX();
        const int dpiY = control->logicalDpiY();
        QRect expected(pixels(twips.x(), dpiX), pixels(twips.y(), dpiY), pixels(twips.width(), dpiX),
                       pixels(twips.height(), dpiY));
        if (dpiX == 96 && dpiY == 96) {
            QCOMPARE(expected, at96dpi);
        }
        if (name == "client") {
            expected.moveTopLeft(control->pos()); // below the menu bar
        }
        QCOMPARE(control->geometry(), expected);
    }

    // The client area keeps its size and place under the menu bar; the window is as wide as the
    // wider of the two, so every menu title shows on the bar, whatever the desktop font's size.
    void windowFitsTheClientAreaAndEveryMenuTitle_data() {
        QTest::addColumn<double>("points"); // 0: the desktop's own font
        QTest::newRow("desktop font") << 0.0;
        QTest::newRow("11 points") << 11.0;
        QTest::newRow("14 points") << 14.0;
        QTest::newRow("20 points") << 20.0;
    }

    void windowFitsTheClientAreaAndEveryMenuTitle() {
        QFETCH(double, points);
        const QFont desktopFont = QApplication::font();
        const auto restore = qScopeGuard([&] { QApplication::setFont(desktopFont); });
        if (points > 0) {
            QFont font = desktopFont;
            font.setPointSizeF(points);
            QApplication::setFont(font);
        }

        WindowFixture f;
        QVERIFY(f.showActive());
        const QWidget* client = f.find<QWidget>("client");
        const QMenuBar* bar = f.window.menuBar();
        QCOMPARE(client->pos(), QPoint(0, bar->height()));
        QCOMPARE(client->size(), QSize(pixels(2775, client->logicalDpiX()), pixels(2595, client->logicalDpiY())));
        QCOMPARE(f.window.height(), bar->height() + client->height());
        QCOMPARE(f.window.width(), std::max(client->width(), bar->sizeHint().width()));
        QCOMPARE(f.window.minimumSize(), f.window.maximumSize());

        const auto* extension = bar->findChild<QWidget*>("qt_menubar_ext_button");
        QVERIFY(extension != nullptr);
        QVERIFY2(!extension->isVisible(), "a menu title went behind the bar's extension button");
        for (QAction* menu : bar->actions()) {
            const QRect title = bar->actionGeometry(menu);
            QVERIFY2(!title.isEmpty() && bar->rect().contains(title), qPrintable(menu->text()));
        }
    }

    void captionIsTheProductNameOnly() {
        WindowFixture f;
        f.load();
        QVERIFY(f.showActive());
        QCOMPARE(f.window.windowTitle(), QString("Quorvel"));
        QCOMPARE(f.window.windowHandle()->title(), QString("Quorvel"));
    }

    void iconHasThreeSizes() {
        WindowFixture f;
        const QList<QSize> sizes = f.window.windowIcon().availableSizes();
        for (const int size : {16, 32, 48}) {
            QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString("no %1 px image").arg(size)));
        }
    }

    // The menu bar's extension button gets a drawn "»", pointing the way the text runs, in the
    // palette's button text (greyed when disabled); every other icon is the base style's.
    void extensionButtonIconIsDrawnArrows() {
        const std::unique_ptr<QStyle> fusion(QStyleFactory::create("fusion"));
        const ExtensionArrowStyle style(QStyleFactory::create("fusion"));
        const auto arrows = [&](Qt::LayoutDirection direction, int size, QIcon::Mode mode) {
            QStyleOption option;
            option.direction = direction;
            const QIcon icon = style.standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton, &option);
            return icon.pixmap(QSize(size, size), 1.0, mode).toImage().convertToFormat(QImage::Format_ARGB32);
        };
        // The column of the rightmost ink in a row, -1 for none.
        const auto rightmostInk = [](const QImage& image, int row) {
            for (int x = image.width() - 1; x >= 0; --x) {
                if (qAlpha(image.pixel(x, row)) > 127) {
                    return x;
                }
            }
            return -1;
        };
        for (const int size : {8, 16, 32}) {
            const QImage ltr = arrows(Qt::LeftToRight, size, QIcon::Normal);
            QCOMPARE(ltr.size(), QSize(size, size));
            QCOMPARE(arrows(Qt::RightToLeft, size, QIcon::Normal), ltr.mirrored(true, false));
            // Pointing right: the ink reaches furthest right between its top and bottom rows.
            std::vector<int> inkRows;
            int tipRow = -1;
            for (int row = 0; row < size; ++row) {
                if (rightmostInk(ltr, row) >= 0) {
                    inkRows.push_back(row);
                    if (tipRow < 0 || rightmostInk(ltr, row) > rightmostInk(ltr, tipRow)) {
                        tipRow = row;
                    }
                }
            }
            QVERIFY2(inkRows.size() >= 4, qPrintable(QString("too little ink at %1 px").arg(size)));
            const QString at = QString("at %1 px").arg(size);
            QVERIFY2(inkRows.front() < tipRow && tipRow < inkRows.back(), qPrintable(at));
            QVERIFY2(rightmostInk(ltr, inkRows.front()) + 1 < rightmostInk(ltr, tipRow), qPrintable(at));
            QVERIFY2(rightmostInk(ltr, inkRows.back()) + 1 < rightmostInk(ltr, tipRow), qPrintable(at));
            QCOMPARE(qAlpha(ltr.pixel(0, 0)), 0);
        }
        for (const auto& [mode, group] :
             {std::pair{QIcon::Normal, QPalette::Active}, std::pair{QIcon::Disabled, QPalette::Disabled}}) {
            const QImage image = arrows(Qt::LeftToRight, 32, mode);
            QRgb inked = 0;
            for (int y = 0; y < image.height() && qAlpha(inked) < 255; ++y) {
                for (int x = 0; x < image.width() && qAlpha(inked) < 255; ++x) {
                    inked = image.pixel(x, y);
                }
            }
            QCOMPARE(qAlpha(inked), 255);
            QCOMPARE(QColor(inked), QGuiApplication::palette().color(group, QPalette::ButtonText));
        }

        QStyleOption option;
        const QIcon warning = style.standardIcon(QStyle::SP_MessageBoxWarning, &option);
        QVERIFY(!warning.availableSizes().isEmpty());
        QCOMPARE(warning.availableSizes(),
                 fusion->standardIcon(QStyle::SP_MessageBoxWarning, &option).availableSizes());
    }

    // Only Qt's own styles get the drawn arrows; a style from elsewhere keeps its own, and a second
    // install wraps nothing twice.
    void iconStyleWrapsOnlyQtsOwnStyles() {
        const auto restore = qScopeGuard([] { QApplication::setStyle(QStyleFactory::create("fusion")); });
        for (const char* name : {"fusion", "windows"}) {
            QApplication::setStyle(QStyleFactory::create(name));
            ExtensionArrowStyle::install();
            ExtensionArrowStyle::install();
            const auto* installed = qobject_cast<const ExtensionArrowStyle*>(QApplication::style());
            QVERIFY2(installed != nullptr, name);
            QCOMPARE(installed->baseStyle()->name(), QString(name));
        }
        auto* other = new QCommonStyle;
        QApplication::setStyle(other);
        ExtensionArrowStyle::install();
        QCOMPARE(QApplication::style(), other);
    }

    void menusInOrderWithNoTicksOrShortcuts() {
        WindowFixture f;
        QStringList titles;
        QStringList items;
        for (QAction* top : f.window.menuBar()->actions()) {
            titles << top->text();
            QVERIFY(top->shortcut().isEmpty());
            for (QAction* item : top->menu()->actions()) {
                items << top->text() + ">" + item->text();
                QVERIFY2(!item->isSeparator(), qPrintable(item->text()));
                QVERIFY2(!item->isChecked(), qPrintable(item->text()));
                QVERIFY2(item->shortcut().isEmpty(), qPrintable(item->text()));
                QVERIFY(item->isEnabled() && item->isVisible());
            }
        }
        QCOMPARE(titles, (QStringList{"Com Port", "Settings", "Help"}));
        QStringList expected;
        for (int n = 1; n <= 16; ++n) {
            expected << QString("Com Port>Com%1").arg(n);
        }
        // The captions read as they are; only the item added to the sixteen has an access key.
        expected << "Com Port>Co&nnection\u2026";
        expected << "Settings>Polling Enabled"
                 << "Settings>Polling Interval"
                 << "Settings>Sharing…"
                 << "Help>About";
        QCOMPARE(items, expected);
        QCOMPARE(f.find<QAction>("mnuCom16")->text(), QString("Com16"));
    }

    void captionsAndDesignProperties() {
        WindowFixture f;
        QCOMPARE(f.find<QLabel>("lblTxPwr")->text(), QString("K3 Power"));
        QCOMPARE(f.find<QLabel>("Label1")->text(), QString("PA On"));
        QCOMPARE(f.find<QLabel>("Label2")->text(), QString("K3 Con"));
        QCOMPARE(f.find<QAbstractButton>("cmdPoll")->text(), QString("&Poll"));
        QCOMPARE(f.find<QAbstractButton>("cmdExit")->text(), QString("&Exit"));

        const QSlider* slider = f.find<QSlider>("sldTxPwr");
        QCOMPARE(slider->orientation(), Qt::Vertical);
        QVERIFY(!slider->invertedAppearance()); // minimum at the bottom
        QCOMPARE(slider->minimum(), 0);
        QCOMPARE(slider->maximum(), 100);
        QCOMPARE(slider->tickInterval(), 10);
        QCOMPARE(slider->pageStep(), 1);
        QCOMPARE(slider->singleStep(), 1);
        QCOMPARE(slider->value(), 0);
        QVERIFY(slider->toolTip().isEmpty());

        const QLineEdit* box = f.find<QLineEdit>("txtTxPwr");
        QVERIFY(box->text().isEmpty());
        QCOMPARE(box->font().family(), QString("Arial"));
        QCOMPARE(box->font().pointSize(), 18);
        QCOMPARE(box->font().weight(), QFont::Normal);
        QVERIFY(!box->font().italic());
        QCOMPARE(box->palette().color(QPalette::Active, QPalette::Base), QColor(0, 255, 0));
        QCOMPARE(box->palette().color(QPalette::Active, QPalette::Text), QColor(0, 0, 0));
        QCOMPARE(box->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        QVERIFY(box->maxLength() > 32767);
    }

    // Each caption takes the largest half-point step down from the desktop font at which it fits its
    // box, and the desktop size itself when that fits. Fonts from small to large, narrow to wide.
    void captionsFitTheirBoxes_data() {
        QTest::addColumn<QString>("family");
        QTest::addColumn<double>("points");
        QTest::newRow("desktop default") << QString() << 0.0;
        QTest::newRow("sans 7, fits as it is") << "DejaVu Sans" << 7.0;
        QTest::newRow("sans 9.5") << "DejaVu Sans" << 9.5;
        QTest::newRow("sans 12") << "DejaVu Sans" << 12.0;
        QTest::newRow("sans 20, many steps") << "DejaVu Sans" << 20.0;
        QTest::newRow("serif 11") << "DejaVu Serif" << 11.0;
        QTest::newRow("narrow 16") << "Liberation Sans Narrow" << 16.0;
        QTest::newRow("mono 40") << "DejaVu Sans Mono" << 40.0;
    }

    void captionsFitTheirBoxes() {
        QFETCH(QString, family);
        QFETCH(double, points);
        const QFont desktopFont = QApplication::font();
        QFont font = desktopFont;
        if (!family.isEmpty()) {
            font.setFamily(family);
            font.setPointSizeF(points);
        }
        QApplication::setFont(font);
        const auto restore = qScopeGuard([&] { QApplication::setFont(desktopFont); });
        const auto widthAt = [&](const QString& caption, double size) {
            QFont sized = font;
            sized.setPointSizeF(size);
            return QFontMetrics(sized).horizontalAdvance(caption);
        };

        WindowFixture f;
        for (const char* name : {"lblTxPwr", "Label1", "Label2"}) {
            const QLabel* label = f.find<QLabel>(name);
            const double fitted = label->font().pointSizeF();
            const double stepsDown = (font.pointSizeF() - fitted) / 0.5;
            QVERIFY2(stepsDown >= 0 && stepsDown == std::floor(stepsDown), name);
            const bool smallest = fitted - 0.5 < 6.0;
            QVERIFY2(smallest || widthAt(label->text(), fitted) <= label->width(), name);
            if (stepsDown > 0) {
                QVERIFY2(widthAt(label->text(), fitted + 0.5) > label->width(), name);
            }
        }
    }

    void focusStartsOnPollAndTabGoesRound() {
        WindowFixture f;
        QVERIFY(f.showActive());
        QCOMPARE(QApplication::focusWidget(), f.find<QWidget>("cmdPoll"));
        QStringList visited;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, (QStringList{"cmdExit", "sldTxPwr", "txtTxPwr", "cmdPoll"}));
    }

    // A focused button clicks on Enter or Space, as command buttons on the classic desktop did.
    void focusedButtonClicksOnEnterAndSpace_data() {
        QTest::addColumn<Qt::Key>("key");
        QTest::newRow("Return") << Qt::Key_Return;
        QTest::newRow("keypad Enter") << Qt::Key_Enter;
        QTest::newRow("Space") << Qt::Key_Space;
    }

    void focusedButtonClicksOnEnterAndSpace() {
        QFETCH(Qt::Key, key);
        WindowFixture f;
        f.loadWithPortOpen("0");
        QVERIFY(f.showActive());
        QCOMPARE(QApplication::focusWidget(), f.find<QWidget>("cmdPoll"));
        QTest::keyClick(QApplication::focusWidget(), key);
        QCOMPARE(f.comm.written, std::vector<std::string>{"PC;"});
    }

    void labelsAndLampsNeverTakeFocus() {
        WindowFixture f;
        for (const char* name : {"lblTxPwr", "Label1", "Label2", "shpPAEnabled", "shpK3Con"}) {
            QCOMPARE(f.find<QWidget>(name)->focusPolicy(), Qt::NoFocus);
        }
        QVERIFY(f.find<QWidget>("shpK3Con")->testAttribute(Qt::WA_TransparentForMouseEvents));
    }

    void lampShowsItsFillColour_data() {
        QTest::addColumn<QString>("lamp");
        QTest::addColumn<bool>("set");
        QTest::addColumn<quint32>("color");
        QTest::addColumn<QColor>("expected"); // invalid: the palette's button face
        for (const char* lamp : {"shpPAEnabled", "shpK3Con"}) {
            QTest::addRow("%s initially", lamp) << lamp << false << quint32{0} << QColor();
            QTest::addRow("%s green", lamp) << lamp << true << quint32{kGreen} << QColor(0, 255, 0);
            QTest::addRow("%s red", lamp) << lamp << true << quint32{kRed} << QColor(255, 0, 0);
            QTest::addRow("%s button face", lamp) << lamp << true << quint32{kButtonFace} << QColor();
        }
    }

    void lampShowsItsFillColour() {
        QFETCH(QString, lamp);
        QFETCH(bool, set);
        QFETCH(quint32, color);
        QFETCH(QColor, expected);
        WindowFixture f;
        auto* shape = f.window.findChild<QtLamp*>(lamp);
        if (set) {
            shape->setFillColor(kGreen == color ? kRed : kGreen); // so each row really changes it
            shape->setFillColor(color);
        }
        if (!expected.isValid()) {
            expected = shape->palette().color(QPalette::Active, QPalette::Button);
        }
        QCOMPARE(shape->shownColor(), expected);
        // The fill shows beside the middle; only a red lamp has the white cross through it.
        const QImage painted = shape->grab().toImage();
        QCOMPARE(painted.pixelColor(painted.width() / 4, painted.height() / 2), expected);
        const QColor middle = painted.pixelColor(painted.width() / 2, painted.height() / 2);
        if (set && color == kRed) {
            QVERIFY2(qGray(middle.rgb()) > 200, "a light cross, plain in greyscale too");
        } else {
            QCOMPARE(middle, expected);
        }
    }

    void timersRunAtTheirDesignValues() {
        WindowFixture f;
        QCOMPARE(f.tmrPoll().interval(), std::chrono::milliseconds{500});
        QVERIFY(f.tmrPoll().enabled());
        QVERIFY(f.tmrPoll().qtimer().isActive());
        QCOMPARE(f.tmrPoll().qtimer().interval(), 500);
        QCOMPARE(f.tmrK3Con().interval(), std::chrono::milliseconds{11000});
        QVERIFY(f.tmrK3Con().enabled());
        QVERIFY(f.tmrK3Con().qtimer().isActive());
        QCOMPARE(f.tmrK3Con().qtimer().interval(), 11000);
    }

    // Never early, or the link lamp could turn red before the watchdog's time: the k-th tick
    // comes no sooner than k intervals after the start.
    void timersNeverTickBeforeTheirInterval() {
        WindowFixture f;
        f.tmrPoll().setEnabled(false);
        constexpr qint64 kIntervalMs = 60;
        constexpr int kTicks = 10;
        std::vector<qint64> tickedAtNs;
        QElapsedTimer clock;
        connect(&f.tmrK3Con(), &QtTimer::tick, this, [&] { tickedAtNs.push_back(clock.nsecsElapsed()); });

        clock.start();
        f.tmrK3Con().setInterval(kIntervalMs);

        QTRY_VERIFY_WITH_TIMEOUT(tickedAtNs.size() >= kTicks, 5000);
        for (std::size_t k = 0; k < tickedAtNs.size(); ++k) {
            const qint64 due = static_cast<qint64>(k + 1) * kIntervalMs * 1000000;
            QVERIFY2(tickedAtNs[k] >= due,
                     qPrintable(QStringLiteral("tick %1 at %2 ns, due %3 ns").arg(k + 1).arg(tickedAtNs[k]).arg(due)));
        }
    }

    // A stopped timer ticks no more; the QTimer it leaves armed stops at its next timeout.
    void timerIntervalZeroMeansNoTicks() {
        WindowFixture f;
        QSignalSpy ticks(&f.tmrPoll(), &QtTimer::tick);
        f.tmrPoll().setInterval(0);
        QVERIFY(f.tmrPoll().enabled());
        QVERIFY(!f.tmrPoll().ticking());
        QTRY_VERIFY(!f.tmrPoll().qtimer().isActive());
        f.tmrPoll().setInterval(750);
        QVERIFY(f.tmrPoll().ticking());
        QVERIFY(f.tmrPoll().qtimer().isActive());
        QCOMPARE(f.tmrPoll().qtimer().interval(), 750);
        f.tmrPoll().setEnabled(false);
        QVERIFY(!f.tmrPoll().ticking());
        QTRY_VERIFY(!f.tmrPoll().qtimer().isActive());
        QCOMPARE(ticks.count(), 0);
    }

    // Each reply stops and restarts the watchdog. Restarted again and again, it ticks only once a
    // whole interval has passed since the last restart.
    void restartsPutTheTickOff() {
        WindowFixture f;
        f.tmrPoll().setEnabled(false);
        constexpr qint64 kIntervalMs = 100;
        constexpr int kRestarts = 5;
        QtTimer& watchdog = f.tmrK3Con();
        watchdog.setInterval(kIntervalMs);
        QElapsedTimer sinceRestart;
        std::vector<qint64> tickedAtMs;
        connect(&watchdog, &QtTimer::tick, this, [&] { tickedAtMs.push_back(sinceRestart.elapsed()); });
        int restarts = 0;
        QTimer replies;
        connect(&replies, &QTimer::timeout, this, [&] {
            sinceRestart.start();
            watchdog.setEnabled(false);
            watchdog.setInterval(kIntervalMs);
            watchdog.setEnabled(true);
            if (++restarts == kRestarts) {
                replies.stop();
            }
        });

        sinceRestart.start();
        replies.start(kIntervalMs * 2 / 5);

        QTRY_VERIFY(restarts == kRestarts && !tickedAtMs.empty());
        for (const qint64 tickedAt : tickedAtMs) {
            QVERIFY2(tickedAt >= kIntervalMs, qPrintable(QStringLiteral("ticked %1 ms after a restart").arg(tickedAt)));
        }
    }

    // Exit: the port closed, the position saved, the program told to end.
    void exitSavesThePositionAndEndsTheProgram() {
        WindowFixture f;
        f.loadWithPortOpen();
        f.window.setLeft(1500);
        f.window.setTop(3000);
        QSignalSpy ended(&f.window, &QtMainWindow::programEnded);
        f.find<QAbstractButton>("cmdExit")->click();
        QCOMPARE(ended.count(), 1);
        QVERIFY(!f.comm.open);
        QCOMPARE(f.settings.get("FormLeft"), std::string("1500"));
        QCOMPARE(f.settings.get("FormTop"), std::string("3000"));
        QVERIFY(f.window.gate().closed());
    }

    // Closing by the frame runs no handler: nothing saved, nothing sent, even with the power box
    // holding the focus.
    void closingByTheFrameRunsNoHandler() {
        WindowFixture f;
        f.loadWithPortOpen();
        QVERIFY(f.showActive());
        f.find<QLineEdit>("txtTxPwr")->setText("50");
        f.find<QWidget>("txtTxPwr")->setFocus(Qt::TabFocusReason);
        QSignalSpy ended(&f.window, &QtMainWindow::programEnded);
        const std::size_t savesBefore = f.settings.saves.size();

        QVERIFY(f.window.close());
        QCOMPARE(f.settings.saves.size(), savesBefore);
        QCOMPARE(f.setCommands(), std::vector<std::string>{});
        QVERIFY(f.comm.open);
        QCOMPARE(ended.count(), 0);
        QVERIFY(f.window.gate().closed());
    }
};

QUORVEL_QT_TEST(MainWindowTest)
#include "MainWindowTest.moc"
