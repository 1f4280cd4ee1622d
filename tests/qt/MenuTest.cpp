// Menu items as the user chooses them: the tick is the window's, never the toolkit's.

#include "qt/QtMenuItem.h"
#include "tests/qt/QtTestMain.h"
#include "tests/qt/WindowFixture.h"

#include <QMenu>

using namespace quorvel;
using quorvel::testing::actInModal;
using quorvel::testing::WindowFixture;

namespace {

QStringList tickedItems(WindowFixture& f) {
    QStringList ticked;
    for (QAction* item : f.window.findChildren<QAction*>()) {
        if (item->isChecked()) {
            ticked << item->objectName();
        }
    }
    ticked.sort();
    return ticked;
}

} // namespace

class MenuTest : public QObject {
    Q_OBJECT

private slots:
    void pollingEnabledShowsItsTick_data() {
        QTest::addColumn<QString>("storedPoll");
        QTest::addColumn<QStringList>("afterStartUp");
        QTest::addColumn<QStringList>("afterOneChoice");
        QTest::addColumn<QStringList>("afterTwoChoices");
        QTest::newRow("off, on, off") << "0" << QStringList{} << QStringList{"mnuPoll"} << QStringList{};
        QTest::newRow("on, off, on") << "1" << QStringList{"mnuPoll"} << QStringList{} << QStringList{"mnuPoll"};
        // A hand-edited value: the item does nothing, and choosing it must not tick it either.
        QTest::newRow("neither") << "2" << QStringList{} << QStringList{} << QStringList{};
    }

    void pollingEnabledShowsItsTick() {
        QFETCH(QString, storedPoll);
        QFETCH(QStringList, afterStartUp);
        QFETCH(QStringList, afterOneChoice);
        QFETCH(QStringList, afterTwoChoices);
        WindowFixture f;
        f.load(storedPoll.toStdString());
        QCOMPARE(tickedItems(f), afterStartUp);
        auto* item = f.find<QAction>("mnuPoll");
        item->trigger();
        QCOMPARE(tickedItems(f), afterOneChoice);
        item->trigger();
        QCOMPARE(tickedItems(f), afterTwoChoices);
    }

    // Saving fails before the handler reaches the tick: the tick stays as the handler left it.
    void failedChoiceLeavesTheTickAsItWas() {
        WindowFixture f;
        f.load("1");
        f.settings.refusedKeys = {"poll"};
        f.find<QAction>("mnuPoll")->trigger();
        QCOMPARE(f.lastBoxPrompt(), std::string("VB6 runtime error (mnuPoll): 75 - Path/File access error"));
        QCOMPARE(tickedItems(f), QStringList{"mnuPoll"});
    }

    // The polling switch and its tick go together with the timers.
    void pollingChoiceSwitchesTheTimers() {
        WindowFixture f;
        f.load("1");
        f.find<QAction>("mnuPoll")->trigger();
        QVERIFY(!f.tmrPoll().ticking());
        QVERIFY(!f.tmrK3Con().ticking());
        QCOMPARE(f.settings.get("poll"), std::string("0"));
        f.find<QAction>("mnuPoll")->trigger();
        QVERIFY(f.tmrPoll().ticking() && f.tmrPoll().qtimer().isActive());
        QVERIFY(f.tmrK3Con().ticking() && f.tmrK3Con().qtimer().isActive());
        QCOMPARE(f.settings.get("poll"), std::string("1"));
    }

    // Choosing a port ticks its item alone, also when it is chosen a second time; a refused port
    // leaves none ticked.
    void portItemsTickThePortInUse() {
        WindowFixture f;
        f.load("0");
        f.comm.invalidPorts = {9};
        f.find<QAction>("mnuCom5")->trigger();
        QCOMPARE(tickedItems(f), QStringList{"mnuCom5"});
        f.find<QAction>("mnuCom5")->trigger();
        QCOMPARE(tickedItems(f), QStringList{"mnuCom5"});
        f.find<QAction>("mnuCom12")->trigger();
        QCOMPARE(tickedItems(f), QStringList{"mnuCom12"});
        QCOMPARE(f.comm.commPort, 12);
        QCOMPARE(f.settings.get("port"), std::string("12"));
        f.find<QAction>("mnuCom9")->trigger();
        QCOMPARE(tickedItems(f), QStringList{});
        QCOMPARE(f.lastBoxPrompt(), std::string("Invalid COM port selected, please select a valid COM port."));
    }

    // Alt and a letter open a menu without the caption showing an access key.
    void accessKeyOpensItsMenu_data() {
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<QString>("menu");
        QTest::newRow("Alt+C") << Qt::Key_C << "mnuComPort";
        QTest::newRow("Alt+S") << Qt::Key_S << "mnuSettings";
        QTest::newRow("Alt+H") << Qt::Key_H << "mnuHelp";
    }

    void accessKeyOpensItsMenu() {
        QFETCH(Qt::Key, key);
        QFETCH(QString, menu);
        WindowFixture f;
        f.load("0");
        QVERIFY(f.showActive());
        QTest::keyClick(&f.window, key, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
        QCOMPARE(QApplication::activePopupWidget()->objectName(), menu);
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    }

    // A port is chosen with the keyboard alone: Alt+C, down to the item, Enter.
    void portIsChosenByKeys() {
        WindowFixture f;
        f.load("0");
        QVERIFY(f.showActive());
        QTest::keyClick(&f.window, Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Down);
        }
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Return);
        QTRY_COMPARE(tickedItems(f), QStringList{"mnuCom3"});
        QCOMPARE(f.comm.commPort, 3);
    }

    // Alt+C, N opens the Connection dialog.
    void connectionItemOpensItsDialogByKeys() {
        WindowFixture f;
        f.load("0");
        QVERIFY(f.showActive());
        QString title;
        const bool shown = actInModal(
            "dlgConnection", [&](QWidget* dialog) { title = dialog->windowTitle(); },
            [&] {
                QTest::keyClick(&f.window, Qt::Key_C, Qt::AltModifier);
                QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
                QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_N);
            });
        QVERIFY(shown);
        QCOMPARE(title, QString("Connection"));
        QCOMPARE(tickedItems(f), QStringList{});
    }

    // An unticked item is drawn without a check box, like any plain item.
    void untickedItemShowsNoCheckBox() {
        WindowFixture f;
        f.load("1");
        auto* item = f.find<QtMenuItem>("mnuPoll");
        QVERIFY(item->isCheckable() && item->isChecked());
        item->trigger();
        QVERIFY(!item->isChecked());
        QVERIFY(!item->isCheckable());
    }
};

QUORVEL_QT_TEST(MenuTest)
#include "MenuTest.moc"
