// The power box under a real keyboard, mouse and focus: Enter commits by moving the focus, Tab and
// a click select, and a box or menu opening over the window is no focus change.

#include "link/RunTimeError.h"
#include "qt/QtRegexMatcher.h"
#include "qt/QtTextBox.h"
#include "tests/qt/QtTestMain.h"
#include "tests/qt/WindowFixture.h"

#include <QAbstractButton>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>

using namespace quorvel;
using quorvel::testing::WindowFixture;

namespace {

// The panel as the radio's 9 W reply leaves it: the box shows "9".
QtTextBox* showNineWatts(WindowFixture& f) {
    f.comm.receive("PC0091;");
    f.window.deliverOnComm();
    return f.find<QtTextBox>("txtTxPwr");
}

// Another window of the desktop takes the activation from the panel.
bool activateOther(QWidget& other) {
    other.show();
    other.activateWindow();
    return QTest::qWaitForWindowActive(&other);
}

// Puts the focus in the box the way a user does with Tab (from the slider before it).
void tabInto(WindowFixture& f) {
    f.find<QWidget>("sldTxPwr")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f.find<QWidget>("sldTxPwr"), Qt::Key_Tab);
}

// Start-up with polling on and the port open, the window shown, and the user tabbed into the box;
// null when the window could not be shown.
QtTextBox* startTyping(WindowFixture& f) {
    f.loadWithPortOpen();
    if (!f.showActive()) {
        return nullptr;
    }
    tabInto(f);
    return f.find<QtTextBox>("txtTxPwr");
}

} // namespace

class PowerBoxEventsTest : public QObject {
    Q_OBJECT

private slots:
    // The key filter is the program's own matcher: a text with no digit or point sends nothing.
    void enterCommitsByMovingTheFocusToPoll_data() {
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<std::vector<std::string>>("sent");
        const std::vector<std::string> five{"PC0500;"};
        QTest::newRow("Return") << Qt::Key_Return << Qt::KeyboardModifiers{} << "5"
                                << "5" << five;
        QTest::newRow("keypad Enter") << Qt::Key_Enter << Qt::KeyboardModifiers{Qt::KeypadModifier} << "5"
                                      << "5" << five;
        QTest::newRow("no digit") << Qt::Key_Return << Qt::KeyboardModifiers{} << "W-x"
                                  << "***" << std::vector<std::string>{};
    }

    void enterCommitsByMovingTheFocusToPoll() {
        QFETCH(Qt::Key, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(std::vector<std::string>, sent);
        WindowFixture f;
        QtTextBox* box = startTyping(f);
        QVERIFY(box != nullptr);
        QCOMPARE(QApplication::focusWidget(), box);
        QVERIFY(!f.tmrPoll().enabled());

        QTest::keyClicks(box, typed);
        QTest::keyClick(box, key, modifiers);

        QCOMPARE(QApplication::focusWidget(), f.find<QWidget>("cmdPoll"));
        QCOMPARE(box->QLineEdit::text(), shown);
        QCOMPARE(f.setCommands(), sent);
        QVERIFY(f.tmrPoll().enabled());
        QCOMPARE(f.boxes.size(), std::size_t{1}); // start-up's "no port" message only
    }

    void keyFilterMatchesAnywhereAndRefusesABrokenPattern() {
        QtRegexMatcher matcher;
        QVERIFY(!matcher.test("5"));
        matcher.setPattern("[0123456789.]");
        QVERIFY(matcher.test("x."));
        QVERIFY(matcher.test("W 7"));
        QVERIFY(!matcher.test("x"));
        QVERIFY(!matcher.test(""));
        matcher.setPattern("[0-");
        try {
            matcher.test("5");
            QFAIL("a broken pattern matched");
        } catch (const RunTimeError& e) {
            QCOMPARE(e.number(), 5);
        }
    }

    void typedKeysReachTheBoxUnchanged() {
        WindowFixture f;
        QtTextBox* box = startTyping(f);
        QVERIFY(box != nullptr);
        QTest::keyClicks(box, "a5. -x");
        QCOMPARE(box->QLineEdit::text(), QString("a5. -x"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(box->QLineEdit::text(), QString("a5. -"));
        QCOMPARE(QApplication::focusWidget(), box);
        QCOMPARE(f.setCommands(), std::vector<std::string>{});
    }

    // Tab into the box selects all of it, so typing replaces the shown power. A reply still on its
    // way shows the same power and leaves the selection be; a new power replaces the text, and the
    // slider's tip with it.
    void tabSelectsTheWholeText() {
        WindowFixture f;
        f.loadWithPortOpen();
        QVERIFY(f.showActive());
        f.comm.receive("PC0551;");
        f.window.deliverOnComm();
        auto* box = f.find<QtTextBox>("txtTxPwr");
        auto* slider = f.find<QWidget>("sldTxPwr");
        QCOMPARE(box->QLineEdit::text(), QString("55"));
        tabInto(f);
        QCOMPARE(box->selectedText(), QString("55"));

        f.comm.receive("PC0551;");
        f.window.deliverOnComm();
        QCOMPARE(box->selectedText(), QString("55"));
        QCOMPARE(slider->toolTip(), QString("55"));
        QTest::keyClicks(box, "7");
        QCOMPARE(box->QLineEdit::text(), QString("7"));

        f.comm.receive("PC0601;");
        f.window.deliverOnComm();
        QCOMPARE(box->QLineEdit::text(), QString("60"));
        QCOMPARE(slider->toolTip(), QString("60"));
    }

    // A click into the box selects all of it too, wherever the click lands: typing "5" with the
    // radio at 9 W sets 5 W, not 95 W. A click into a window that is not active (always so without
    // a window manager) only notes where the focus is to go; the box gets it with the window's
    // activation, and that is still the user's move into the box.
    void clickSelectsTheWholeText_data() {
        QTest::addColumn<double>("across"); // where the click lands, as a share of the box's width
        QTest::addColumn<bool>("windowActive");
        QTest::newRow("left end") << 0.05 << true;
        QTest::newRow("middle") << 0.5 << true;
        QTest::newRow("right end") << 0.95 << true;
        QTest::newRow("window not active") << 0.95 << false;
    }

    void clickSelectsTheWholeText() {
        QFETCH(double, across);
        QFETCH(bool, windowActive);
        WindowFixture f;
        f.loadWithPortOpen();
        QVERIFY(f.showActive());
        QtTextBox* box = showNineWatts(f);
        QCOMPARE(box->QLineEdit::text(), QString("9"));
        QWidget other;
        if (!windowActive) {
            QVERIFY(activateOther(other));
        }
        QSignalSpy got(box, &QtTextBox::gotFocus);

        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(int(box->width() * across), box->height() / 2));
        QVERIFY(f.showActive());

        QCOMPARE(QApplication::focusWidget(), box);
        QCOMPARE(got.count(), 1);
        QCOMPARE(box->selectedText(), QString("9"));
        QVERIFY(!f.tmrPoll().enabled());
        QTest::keyClicks(box, "5");
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(f.setCommands(), std::vector<std::string>{"PC0500;"});
    }

    // Once the box has the focus, a click places the caret as in any text box.
    void clickInTheFocusedBoxPlacesTheCaret() {
        WindowFixture f;
        f.loadWithPortOpen();
        QVERIFY(f.showActive());
        QtTextBox* box = showNineWatts(f);
        QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
        QCOMPARE(box->selectedText(), QString("9"));

        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 2, box->height() / 2));
        QTest::keyClicks(box, "5");

        QCOMPARE(box->QLineEdit::text(), QString("95"));
    }

    // The other way round: the focus moved on from the box while the window was not active. The
    // entry is sent and polling resumes when the window is active again, and the next click into
    // the box is a fresh entry.
    void focusThatMovedOnWhileInactiveLeavesTheBoxOnActivation() {
        WindowFixture f;
        QtTextBox* box = startTyping(f);
        QVERIFY(box != nullptr);
        QTest::keyClicks(box, "50");
        QWidget other;
        QVERIFY(activateOther(other));
        QCOMPARE(f.setCommands(), std::vector<std::string>{});

        f.find<QWidget>("sldTxPwr")->setFocus(Qt::MouseFocusReason); // what a click there does
        QVERIFY(f.showActive());

        QCOMPARE(f.setCommands(), std::vector<std::string>{"PC0501;"});
        QVERIFY(f.tmrPoll().enabled());
        QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
        QVERIFY(!f.tmrPoll().enabled());
        QCOMPARE(box->selectedText(), QString("50"));
    }

    // Selection start and length count characters, not UTF-16 units.
    void selectionCountsCharacters() {
        WindowFixture f;
        auto* box = f.find<QtTextBox>("txtTxPwr");
        TextBox& core = *box;
        core.setText("a\xF0\x9F\x93\xBB"
                     "bc"); // a, a radio emoji (two UTF-16 units), b, c
        core.setSelStart(1);
        core.setSelLength(2);
        QCOMPARE(box->selectedText(), QString::fromUtf8("\xF0\x9F\x93\xBB"
                                                        "b"));
        core.setSelStart(0);
        core.setSelLength(99);
        QCOMPARE(box->selectedText(), box->QLineEdit::text());
    }

    // Leaving the box with the mouse: LostFocus sends the entry, then the click polls.
    void clickOnPollLeavesTheBoxFirst() {
        WindowFixture f;
        QtTextBox* box = startTyping(f);
        QVERIFY(box != nullptr);
        QTest::keyClicks(box, "50");
        auto* poll = f.find<QWidget>("cmdPoll");
        QTest::mouseClick(poll, Qt::LeftButton, {}, poll->rect().center());
        QCOMPARE(f.comm.written, (std::vector<std::string>{"PC0501;", "PC;"}));
    }

    // A message box over the window takes the focus away and gives it back: the box neither
    // loses nor gains it, so nothing is sent and polling stays paused.
    void messageBoxOverTheWindowIsNoFocusChange() {
        WindowFixture f;
        QtTextBox* box = startTyping(f);
        QVERIFY(box != nullptr);
        QTest::keyClicks(box, "50");
        QSignalSpy got(box, &QtTextBox::gotFocus);
        QSignalSpy lost(box, &QtTextBox::lostFocus);
        f.window.dialogs().setAnswerer(nullptr);

        bool boxWasActive = false;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (shown != nullptr && QApplication::activeWindow() == shown) {
                boxWasActive = true;
                closer.stop();
                shown->accept();
            }
        });
        closer.start(5);
        f.window.dialogs().msgBox("over the window", kMsgInformation, std::nullopt);
        QVERIFY(boxWasActive);
        // The desktop gives the window back its activation, and with it the focus to the box.
        QVERIFY(f.showActive());
        QCOMPARE(QApplication::focusWidget(), box);

        QCOMPARE(got.count(), 0);
        QCOMPARE(lost.count(), 0);
        QCOMPARE(f.setCommands(), std::vector<std::string>{});
        QVERIFY(!f.tmrPoll().enabled());
    }

    // Opening a menu while typing is no focus change either.
    void menuOpeningIsNoFocusChange() {
        WindowFixture f;
        QtTextBox* box = startTyping(f);
        QVERIFY(box != nullptr);
        QSignalSpy lost(box, &QtTextBox::lostFocus);
        auto* menu = f.find<QMenu>("mnuSettings");
        menu->popup(f.window.mapToGlobal(QPoint(0, 0)));
        QTRY_VERIFY(menu->isVisible());
        menu->close();
        QTRY_COMPARE(QApplication::focusWidget(), box);
        QCOMPARE(lost.count(), 0);
        QCOMPARE(f.setCommands(), std::vector<std::string>{});
    }

    void keyCodes_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: no KeyPress at all
        QTest::newRow("Return") << int(Qt::Key_Return) << "\r" << 13;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << "\r" << 13;
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << "\b" << 8;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << "\x1b" << 27;
        QTest::newRow("digit") << int(Qt::Key_5) << "5" << int('5');
        QTest::newRow("point") << int(Qt::Key_Period) << "." << int('.');
        QTest::newRow("letter") << int(Qt::Key_A) << "a" << int('a');
        QTest::newRow("blank") << int(Qt::Key_Space) << " " << int(' ');
        QTest::newRow("left arrow") << int(Qt::Key_Left) << "" << -1;
        QTest::newRow("Delete") << int(Qt::Key_Delete) << "" << -1;
        QTest::newRow("F1") << int(Qt::Key_F1) << "" << -1;
    }

    void keyCodes() {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(int, expected);
        const QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
        const std::optional<std::int16_t> code = QtTextBox::keyAsciiFor(event);
        QCOMPARE(code.has_value(), expected >= 0);
        if (code) {
            QCOMPARE(int(*code), expected);
        }
    }
};

QUORVEL_QT_TEST(PowerBoxEventsTest)
#include "PowerBoxEventsTest.moc"
