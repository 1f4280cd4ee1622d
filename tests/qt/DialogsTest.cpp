// The real message and input boxes: titles, icons, buttons and texts as the user sees them, and
// Cancel in the input box.

#include "tests/qt/QtTestMain.h"
#include "tests/qt/WindowFixture.h"

#include "qt/QtSerialComm.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QRadioButton>
#include <QTimer>

#include <functional>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace quorvel;
using quorvel::testing::actInModal;
using quorvel::testing::WindowFixture;

namespace {

// What a real message box showed.
struct ShownBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString detail;
};

// Runs `open`, which shows modal boxes, and closes each real box as it comes, remembering it.
std::vector<ShownBox> closeEachBox(const std::function<void()>& open) {
    std::vector<ShownBox> shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        ShownBox seen{box->windowTitle(), box->text(), box->icon(), {}, box->detailedText()};
        for (QAbstractButton* button : box->buttons()) {
            // The details' own button aside.
            if (box->buttonRole(button) != QMessageBox::ActionRole) {
                seen.buttons << button->text().remove('&');
            }
        }
        shown.push_back(seen);
        box->accept();
    });
    closer.start(5);
    open();
    return shown;
}

// Runs `open`, which shows one input box, and answers it: typed text and OK, or Cancel.
struct InputAnswer {
    bool cancel = true;
    QString typed;
};
struct ShownInput {
    QString title;
    QString label;
    QString defaultText;
};
ShownInput answerInputBox(const std::function<void()>& open, const InputAnswer& answer) {
    ShownInput shown;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        answerer.stop();
        shown = {box->windowTitle(), box->labelText(), box->textValue()};
        if (answer.cancel) {
            box->reject();
        } else {
            box->setTextValue(answer.typed);
            box->accept();
        }
    });
    answerer.start(5);
    open();
    return shown;
}

// A pseudo-terminal standing in for a USB adapter: its slave is the device node.
class PseudoTerminal {
public:
    PseudoTerminal() : m_master(::posix_openpt(O_RDWR | O_NOCTTY)) {
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0) {
            m_node = QString::fromLocal8Bit(::ptsname(m_master));
        }
    }
    ~PseudoTerminal() {
        if (m_master >= 0) {
            ::close(m_master);
        }
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    const QString& node() const { return m_node; }

private:
    int m_master;
    QString m_node;
};

// Two adapters in the fixture's by-id folder, as udev names them, each leading to a pseudo-terminal.
struct TwoAdapters {
    PseudoTerminal first;
    PseudoTerminal second;
    QString firstName;
    QString secondName;

    explicit TwoAdapters(WindowFixture& f) {
        QDir().mkpath(f.byIdFolder);
        firstName = f.byIdFolder + "/usb-Test_Adapter_A1-if00-port0";
        secondName = f.byIdFolder + "/usb-Test_Radio_Cable_R2-if00-port0";
        QFile::link(first.node(), firstName);
        QFile::link(second.node(), secondName);
    }
    bool valid() const { return !first.node().isEmpty() && !second.node().isEmpty(); }
};

QString linkText(WindowFixture& f, int n) {
    return QFile::symLinkTarget(QString::fromStdString(f.portDirs.mappingDir) + QStringLiteral("/com%1").arg(n));
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    // Start-up with an empty store: its message comes in a real box titled with the application
    // title that start-up set first.
    void startUpMessageCarriesTheApplicationTitle() {
        WindowFixture f;
        f.window.dialogs().setAnswerer(nullptr);
        const auto shown = closeEachBox([&] { f.window.load(); });
        QCOMPARE(shown.size(), std::size_t{1});
        QCOMPARE(shown[0].title, QString("Quorvel"));
        QCOMPARE(shown[0].text, QString("No COM port selected, please select a valid COM port."));
        QVERIFY2(shown[0].detail.contains("Com Port menu") && shown[0].detail.contains("Connection\u2026"),
                 qPrintable(shown[0].detail));
        QCOMPARE(shown[0].icon, QMessageBox::Information);
        QCOMPARE(shown[0].buttons, QStringList{"OK"});
        QCOMPARE(f.window.appTitle().title(), std::string("Quorvel"));
    }

    void messageStyleAndTitle_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("title"); // empty: none given
        QTest::addColumn<int>("expectedIcon");
        QTest::addColumn<QString>("expectedTitle");
        QTest::newRow("information, untitled") << 64 << "" << int(QMessageBox::Information) << "Quorvel";
        QTest::newRow("plain, untitled") << 0 << "" << int(QMessageBox::NoIcon) << "Quorvel";
        QTest::newRow("plain, own title")
            << 0 << "Poll Timer Value Error" << int(QMessageBox::NoIcon) << "Poll Timer Value Error";
        QTest::newRow("warning") << 48 << "" << int(QMessageBox::Warning) << "Quorvel";
    }

    void messageStyleAndTitle() {
        QFETCH(int, style);
        QFETCH(QString, title);
        QFETCH(int, expectedIcon);
        QFETCH(QString, expectedTitle);
        WindowFixture f;
        f.load();
        QVERIFY(f.showActive());
        f.window.dialogs().setAnswerer(nullptr);
        const std::optional<std::string> given =
            title.isEmpty() ? std::nullopt : std::optional<std::string>(title.toStdString());
        const auto shown = closeEachBox([&] { f.window.dialogs().msgBox("text", style, given); });
        QCOMPARE(shown.size(), std::size_t{1});
        QCOMPARE(shown[0].title, expectedTitle);
        QCOMPARE(int(shown[0].icon), expectedIcon);
        QCOMPARE(shown[0].buttons, QStringList{"OK"});
    }

    // A port the system does not have: the message exactly as always, and the serial component's
    // account of what it looked at behind the box's details; other boxes carry no details.
    void refusedPortShowsTheComponentsAccountAsDetails() {
        WindowFixture f;
        f.load();
        QVERIFY(f.showActive());
        f.comm.invalidPorts = {4};
        f.window.dialogs().setAnswerer(nullptr);

        const auto shown = closeEachBox([&] { f.find<QAction>("mnuCom4")->trigger(); });
        const auto plain = closeEachBox([&] { f.window.dialogs().msgBox("text", kMsgInformation, std::nullopt); });

        QCOMPARE(shown.size(), std::size_t{1});
        QCOMPARE(shown[0].text, QString("Invalid COM port selected, please select a valid COM port."));
        QCOMPARE(shown[0].detail, QString("Invalid port number: Com4 maps to no device"));
        QCOMPARE(shown[0].icon, QMessageBox::Information);
        QCOMPARE(plain.size(), std::size_t{1});
        QCOMPARE(plain[0].detail, QString());
    }

    // The About box: its own title, no icon, each line of its text on a line of its own.
    void aboutBox() {
        WindowFixture f;
        f.load();
        f.clock.year = 2042;
        f.window.dialogs().setAnswerer(nullptr);
        const auto shown = closeEachBox([&] { f.find<QAction>("mnuHelpAbout")->trigger(); });
        QCOMPARE(shown.size(), std::size_t{1});
        QCOMPARE(shown[0].title, QString("Quorvel"));
        QCOMPARE(shown[0].icon, QMessageBox::NoIcon);
        const QStringList lines = shown[0].text.split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QString("Quorvel 1.0.2 by Orlend"));
        QVERIFY(lines[1].contains("2042"));
        QVERIFY(lines[2].contains("GNU General Public License"));
        QVERIFY(!shown[0].text.contains('\r'));
    }

    void inputBoxReturnsTheTextOrNothingOnCancel_data() {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("OK with a new value") << false << "750"
                                             << "750";
        QTest::newRow("OK with the default") << false << "1000"
                                             << "1000";
        QTest::newRow("Cancel after typing") << true << "750"
                                             << "";
    }

    void inputBoxReturnsTheTextOrNothingOnCancel() {
        QFETCH(bool, cancel);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        WindowFixture f;
        f.load();
        f.window.dialogs().setAnswerer(nullptr);
        std::string returned = "<not returned>";
        const ShownInput shown = answerInputBox(
            [&] { returned = f.window.dialogs().inputBox("Prompt text", "Box Title", "1000"); }, {cancel, typed});
        QCOMPARE(shown.title, QString("Box Title"));
        QCOMPARE(shown.label, QString("Prompt text"));
        QCOMPARE(shown.defaultText, QString("1000"));
        QCOMPARE(QString::fromStdString(returned), expected);
    }

    // Cancel in the Polling Interval box changes nothing.
    void cancelledIntervalChangesNothing() {
        WindowFixture f;
        f.load();
        f.window.dialogs().setAnswerer(nullptr);
        const std::size_t savesBefore = f.settings.saves.size();
        const ShownInput shown = answerInputBox([&] { f.find<QAction>("mnuInterval")->trigger(); }, {true, "750"});
        QCOMPARE(shown.title, QString("Enter Poll Interval Value"));
        QCOMPARE(shown.defaultText, QString("500"));
        QCOMPARE(f.settings.saves.size(), savesBefore);
        QCOMPARE(f.tmrPoll().interval(), std::chrono::milliseconds{500});
        QCOMPARE(f.window.form().polltimeText(), std::string("500"));
    }

    // A device picked by its name, by keys alone: Tab from the option to the list, down to the
    // second adapter, Alt+N to the Com number, down to Com3, Enter. Com3 then leads to the adapter's by-id name and is
    // in use.
    void deviceByNameBecomesTheComNumberPicked() {
        WindowFixture f;
        TwoAdapters adapters(f);
        QVERIFY(adapters.valid());
        f.load();
        QVERIFY(f.showActive());

        QStringList listed;
        const bool shown = actInModal(
            "dlgConnection",
            [&](QWidget* dialog) {
                auto* list = dialog->findChild<QListWidget*>("lstDevices");
                for (int i = 0; i < list->count(); ++i) {
                    listed << list->item(i)->text();
                }
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::AltModifier);
                for (int i = 0; i < 3; ++i) {
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
                }
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            },
            [&] { f.find<QAction>("mnuConnection")->trigger(); });

        QVERIFY(shown);
        QVERIFY(listed.size() >= 2);
        QCOMPARE(listed[0],
                 "Test Adapter A1 (" + adapters.first.node().mid(5) + ") \u2014 usb-Test_Adapter_A1-if00-port0");
        QVERIFY2(listed[1].startsWith("Test Radio Cable R2"), qPrintable(listed[1]));
        QCOMPARE(linkText(f, 3), adapters.secondName);
        QCOMPARE(f.comm.commPort, 3);
        QVERIFY(f.find<QAction>("mnuCom3")->isChecked());
        QCOMPARE(f.settings.get("port"), std::string("3"));
        QCOMPARE(f.lastBoxPrompt(), std::string("No COM port selected, please select a valid COM port."));
        // The real serial component finds the adapter behind Com3.
        QCOMPARE(QtSerialComm(f.portDirs).devicePathFor(3), adapters.second.node());
    }

    // A network route by keys: Alt+R, then Tab to each field, whose text typing replaces, and Enter.
    // The fields start on the usual host and ports.
    void networkRouteIsChosenByKeys() {
        WindowFixture f;
        f.load();
        QVERIFY(f.showActive());
        QStringList started;
        const bool shown = actInModal(
            "dlgConnection",
            [&](QWidget* dialog) {
                for (const char* field :
                     {"txtTcpHost", "txtTcpPort", "txtRigctldHost", "txtRigctldPort", "txtFlrigHost", "txtFlrigPort"}) {
                    started << dialog->findChild<QLineEdit*>(field)->text();
                }
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::AltModifier);
                QTRY_VERIFY(dialog->findChild<QRadioButton*>("optRigctld")->isChecked());
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QTest::keyClicks(QApplication::focusWidget(), "10.0.0.2");
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QTest::keyClicks(QApplication::focusWidget(), "4533");
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            },
            [&] { f.find<QAction>("mnuConnection")->trigger(); });

        QVERIFY(shown);
        QCOMPARE(started, (QStringList{"127.0.0.1", "", "127.0.0.1", "4532", "127.0.0.1", "12345"}));
        QCOMPARE(f.comm.openedRoutes, std::vector<std::string>{"rigctld:10.0.0.2:4533"});
        QCOMPARE(f.settings.get("radio"), std::string("rigctld:10.0.0.2:4533"));

        // Opened again, it starts on that route with its fields as chosen.
        QStringList again;
        QVERIFY(actInModal(
            "dlgConnection",
            [&](QWidget* dialog) {
                again << QApplication::focusWidget()->objectName()
                      << dialog->findChild<QLineEdit*>("txtRigctldHost")->text()
                      << dialog->findChild<QLineEdit*>("txtRigctldPort")->text();
            },
            [&] { f.find<QAction>("mnuConnection")->trigger(); }));
        QCOMPARE(again, (QStringList{"optRigctld", "10.0.0.2", "4533"}));
    }

    // Enter on a device takes the first free number; picking the same device again keeps it, and
    // Cancel changes nothing.
    void enterOnADeviceTakesTheFirstFreeNumber() {
        WindowFixture f;
        TwoAdapters adapters(f);
        QVERIFY(adapters.valid());
        f.load();
        QVERIFY(f.showActive());
        const auto enter = [](QWidget*) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        };
        const auto open = [&] { f.find<QAction>("mnuConnection")->trigger(); };

        QVERIFY(actInModal("dlgConnection", enter, open));
        const int n = f.comm.commPort;
        QVERIFY(n >= 1 && n <= 16);
        QCOMPARE(linkText(f, n), adapters.firstName);

        f.comm.commPort = 0;
        QVERIFY(actInModal("dlgConnection", enter, open));
        QCOMPARE(f.comm.commPort, n);
        QCOMPARE(
            QDir(QString::fromStdString(f.portDirs.mappingDir)).entryList(QDir::System | QDir::NoDotAndDotDot).size(),
            1);

        f.comm.log.clear();
        QVERIFY(actInModal(
            "dlgConnection", [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); }, open));
        QVERIFY(f.comm.log.empty());
    }

    // The seam the other tests use: what a box would show, with the title resolved.
    void answererSeesWhatTheBoxWouldShow() {
        WindowFixture f;
        f.load();
        f.answers.push_back("2000");
        f.find<QAction>("mnuInterval")->trigger();
        QCOMPARE(f.boxes.size(), std::size_t{2});
        const DialogRequest& input = f.boxes[1];
        QCOMPARE(int(input.kind), int(DialogRequest::Kind::Input));
        QCOMPARE(input.title, std::string("Enter Poll Interval Value"));
        QCOMPARE(input.defaultText, std::string("500"));
        QCOMPARE(f.tmrPoll().interval(), std::chrono::milliseconds{2000});

        f.answers.push_back("20");
        f.find<QAction>("mnuInterval")->trigger();
        QCOMPARE(f.boxes.back().prompt, std::string("Please enter a timer value between 500 and 10000."));
        QCOMPARE(f.boxes.back().title, std::string("Poll Timer Value Error"));
        QCOMPARE(f.boxes.back().style, kMsgOkOnly);
    }
};

QUORVEL_QT_TEST(DialogsTest)
#include "DialogsTest.moc"
