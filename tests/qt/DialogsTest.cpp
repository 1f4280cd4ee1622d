// The real message and input boxes: titles, icons, buttons and texts as the user sees them, and
// Cancel in the input box.

#include "tests/qt/QtTestMain.h"
#include "tests/qt/WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <functional>

using namespace quorvel;
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
            seen.buttons << button->text().remove('&');
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
