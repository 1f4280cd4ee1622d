// What a screen reader is told: names, roles and descriptions of the controls, the lamps' state in
// words, and update events only when something it shows has changed.

#include "qt/QtLamp.h"
#include "tests/qt/QtTestMain.h"
#include "tests/qt/WindowFixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QMenuBar>

#include <utility>

using namespace quorvel;
using quorvel::testing::actInModal;
using quorvel::testing::WindowFixture;

namespace {

QAccessibleInterface* accessibleOf(WindowFixture& f, const char* name) {
    return QAccessible::queryAccessibleInterface(f.find<QObject>(name));
}

QString said(WindowFixture& f, const char* name, QAccessible::Text what) {
    return accessibleOf(f, name)->text(what);
}

// Every update event sent while it lives, as "<object name> <event>", in order.
class AnnouncementLog {
public:
    AnnouncementLog() {
        s_current = this;
        m_previous = QAccessible::installUpdateHandler(&AnnouncementLog::record);
    }
    ~AnnouncementLog() {
        QAccessible::installUpdateHandler(m_previous);
        s_current = nullptr;
    }
    AnnouncementLog(const AnnouncementLog&) = delete;
    AnnouncementLog& operator=(const AnnouncementLog&) = delete;

    QStringList take() { return std::exchange(m_events, {}); }

private:
    static void record(QAccessibleEvent* event) {
        QString what;
        switch (event->type()) {
        case QAccessible::DescriptionChanged:
            what = "description";
            break;
        case QAccessible::NameChanged:
            what = "name";
            break;
        case QAccessible::ValueChanged:
            what = "value";
            break;
        case QAccessible::StateChanged:
            what = "state";
            break;
        case QAccessible::TextInserted:
        case QAccessible::TextRemoved:
        case QAccessible::TextUpdated:
            what = "text";
            break;
        case QAccessible::TextCaretMoved:
            what = "caret";
            break;
        default:
            what = QString::number(event->type(), 16);
        }
        s_current->m_events << event->object()->objectName() + ' ' + what;
    }

    // The handler Qt calls is a plain function; the log in force is the one it writes to.
    static inline AnnouncementLog* s_current = nullptr;
    QAccessible::UpdateHandler m_previous = nullptr;
    QStringList m_events;
};

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Qt only sends update events while a screen reader's bus is there (see run_with_atspi.sh).
        QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 10000);
    }

    void controlsHaveNamesAndRoles_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::newRow("slider") << "sldTxPwr" << int(QAccessible::Slider) << "Transmit power, watts";
        QTest::newRow("power box, named by its label") << "txtTxPwr" << int(QAccessible::EditableText) << "K3 Power";
        QTest::newRow("Poll") << "cmdPoll" << int(QAccessible::Button) << "Poll";
        QTest::newRow("Exit") << "cmdExit" << int(QAccessible::Button) << "Exit";
        QTest::newRow("PA lamp") << "shpPAEnabled" << int(QAccessible::StatusBar) << "PA On, power range";
        QTest::newRow("link lamp") << "shpK3Con" << int(QAccessible::StatusBar) << "K3 Con, link to the radio";
    }

    void controlsHaveNamesAndRoles() {
        QFETCH(QString, control);
        QFETCH(int, role);
        QFETCH(QString, name);
        WindowFixture f;
        QAccessibleInterface* accessible = accessibleOf(f, qPrintable(control));
        QVERIFY(accessible != nullptr);
        QCOMPARE(int(accessible->role()), role);
        QCOMPARE(accessible->text(QAccessible::Name), name);
        QVERIFY2(!accessible->text(QAccessible::Description).isEmpty(), "says what the control does or shows");
    }

    // Keys move the slider but send nothing, so it points the keyboard user to the power box.
    void sliderSaysHowToSetThePowerByKeyboard() {
        WindowFixture f;
        QVERIFY(said(f, "sldTxPwr", QAccessible::Description).contains("power box"));
    }

    // The lamps say their state in words, the same in the tool tip; a reply, the watchdog and a
    // low-range reply after a high one each change them.
    void lampsSayTheirStateInWords() {
        WindowFixture f;
        f.loadWithPortOpen();
        // Each lamp's words as "<description> | <tool tip>".
        const auto states = [&f] {
            QStringList words;
            for (const char* lamp : {"shpK3Con", "shpPAEnabled"}) {
                words << said(f, lamp, QAccessible::Description) + " | " + f.find<QWidget>(lamp)->toolTip();
            }
            return words;
        };
        const auto both = [](const char* link, const char* range) {
            return QStringList{QString(link) + " | " + link, QString(range) + " | " + range};
        };
        QCOMPARE(states(), both("Link not checked yet", "Range not known yet"));

        f.comm.receive("PC0501;");
        f.window.deliverOnComm();
        QCOMPARE(states(), both("Replies arriving", "High-power range"));

        emit f.tmrK3Con().tick();
        QCOMPARE(states(), both("No reply for 11 seconds", "High-power range"));

        f.comm.receive("PC0500;");
        f.window.deliverOnComm();
        QCOMPARE(states(), both("Replies arriving", "Low-power range"));
    }

    // A reader hears about what changed and nothing else; a poll that changes nothing stays quiet.
    void onlyChangesAreAnnounced() {
        WindowFixture f;
        f.loadWithPortOpen();
        const auto reply = [&f](const char* text) {
            f.comm.receive(text);
            f.window.deliverOnComm();
        };
        AnnouncementLog log;

        reply("PC0501;");
        QStringList first = log.take();
        first.sort();
        QCOMPARE(first, (QStringList{"shpK3Con description", "shpPAEnabled description", "sldTxPwr value",
                                     "txtTxPwr caret", "txtTxPwr text"}));

        reply("PC0501;");
        QCOMPARE(log.take(), QStringList{});

        reply("PC0601;");
        QStringList power = log.take();
        power.sort();
        QCOMPARE(power, (QStringList{"sldTxPwr value", "txtTxPwr text"}));

        emit f.tmrK3Con().tick();
        QCOMPARE(log.take(), QStringList{"shpK3Con description"});
        emit f.tmrK3Con().tick(); // the watchdog fires again while the radio stays silent
        QCOMPARE(log.take(), QStringList{});

        // The first low-range reply: the PA lamp keeps button face but now means the low range.
        WindowFixture fresh;
        fresh.loadWithPortOpen();
        fresh.comm.receive("PC0500;");
        fresh.window.deliverOnComm();
        QVERIFY(log.take().contains("shpPAEnabled description"));
    }

    // A top-level window is a frame to a screen reader, named by its title.
    void windowIsAFrameNamedQuorvel() {
        WindowFixture f;
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&f.window);
        QVERIFY(window != nullptr);
        QCOMPARE(window->role(), QAccessible::Window);
        QCOMPARE(window->text(QAccessible::Name), QString("Quorvel"));
    }

    // The Connection dialog: every control named, and Tab visits the chosen option's controls, each
    // other option, and the buttons, in reading order.
    void connectionDialogIsNamedAndTabbedInOrder() {
        WindowFixture f;
        f.load();
        QVERIFY(f.showActive());
        QStringList names;
        QStringList tabbed;
        QStringList tabbedOnRigctld;
        // On Linux a combo box's name is its current text and its label comes by relation.
        const auto nameOf = [](QWidget* widget) {
            const QString object = widget->objectName();
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
            QString name = accessible->text(QAccessible::Name);
            for (const auto& [label, relation] : accessible->relations(QAccessible::Label)) {
                name += " | " + label->text(QAccessible::Name);
            }
            return (object.isEmpty() ? widget->metaObject()->className() : object) + ": " + name;
        };
        const auto tabAround = [&](QStringList& into) {
            for (int i = 0; i < 6; ++i) {
                into << nameOf(QApplication::focusWidget());
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
        };
        QVERIFY(actInModal(
            "dlgConnection",
            [&](QWidget* dialog) {
                names << nameOf(dialog);
                for (const char* control :
                     {"optDevice", "lstDevices", "cboComNumber", "optTcp", "txtTcpHost", "txtTcpPort", "optRigctld",
                      "txtRigctldHost", "txtRigctldPort", "optFlrig", "txtFlrigHost", "txtFlrigPort"}) {
                    names << nameOf(dialog->findChild<QWidget*>(control));
                }
                tabAround(tabbed);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::AltModifier);
                // An access key clicks its option the way a mouse would, a moment later.
                QTRY_VERIFY(dialog->findChild<QAbstractButton*>("optRigctld")->isChecked());
                tabAround(tabbedOnRigctld);
            },
            [&] { f.find<QAction>("mnuConnection")->trigger(); }));

        QCOMPARE(names,
                 (QStringList{"dlgConnection: Connection", "optDevice: Serial device", "lstDevices: Serial devices",
                              "cboComNumber: The first free one | Com number:", "optTcp: TCP serial server (ser2net)",
                              "txtTcpHost: TCP server host | Host:", "txtTcpPort: TCP server port | Port:",
                              "optRigctld: rigctld", "txtRigctldHost: rigctld host | Host:",
                              "txtRigctldPort: rigctld port | Port:", "optFlrig: flrig",
                              "txtFlrigHost: flrig host | Host:", "txtFlrigPort: flrig port | Port:"}));
        // The options are one stop, the chosen one, as a group of radio buttons is; arrows move in it.
        QCOMPARE(tabbed, (QStringList{"optDevice: Serial device", "lstDevices: Serial devices",
                                      "cboComNumber: The first free one | Com number:", "QPushButton: OK",
                                      "QPushButton: Cancel", "optDevice: Serial device"}));
        QCOMPARE(tabbedOnRigctld, (QStringList{"optRigctld: rigctld", "txtRigctldHost: rigctld host | Host:",
                                               "txtRigctldPort: rigctld port | Port:", "QPushButton: OK",
                                               "QPushButton: Cancel", "optRigctld: rigctld"}));
    }

    void menuBarTellsItsAccessKeys() {
        WindowFixture f;
        const QString description =
            QAccessible::queryAccessibleInterface(f.window.menuBar())->text(QAccessible::Description);
        for (const char* key : {"Alt+C Com Port", "Alt+S Settings", "Alt+H Help"}) {
            QVERIFY2(description.contains(key), key);
        }
    }
};

QUORVEL_QT_TEST(AccessibilityTest)
#include "AccessibilityTest.moc"
