// One event at a time: what happens to ticks, receive events and user events that arrive while a
// handler runs, first on the gate alone, then through the real window and a real modal box.

#include "qt/EventGate.h"
#include "qt/QtLamp.h"
#include "tests/qt/QtTestMain.h"
#include "tests/qt/WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSlider>
#include <QTimer>

#include <string>
#include <vector>

using namespace quorvel;
using quorvel::testing::WindowFixture;

namespace {

// While a handler named "outer" runs, the events of `during` arrive; the log tells what ran, in order.
enum class Arrives { Tick, Receive, User, UserRaisingUser, Close };

std::vector<std::string> runWithArrivals(const std::vector<Arrives>& during, const std::vector<Arrives>& after) {
    EventGate gate;
    std::vector<std::string> log;
    int count = 0;
    auto deliver = [&](Arrives what) {
        const std::string n = std::to_string(++count);
        switch (what) {
        case Arrives::Tick:
            gate.tick([&log, n] { log.push_back("tick" + n); });
            break;
        case Arrives::Receive:
            gate.receive([&log, n] { log.push_back("receive" + n); });
            break;
        case Arrives::User:
            gate.user([&log, n] { log.push_back("user" + n); });
            break;
        case Arrives::UserRaisingUser:
            gate.user([&log, &gate, n] {
                log.push_back("user" + n);
                gate.user([&log, n] { log.push_back("raised-by-user" + n); });
                log.push_back("end-user" + n);
            });
            break;
        case Arrives::Close:
            gate.close();
            break;
        }
    };
    gate.user([&] {
        log.emplace_back("outer");
        for (const Arrives what : during) {
            deliver(what);
        }
        log.emplace_back("end-outer");
    });
    if (gate.busy()) {
        log.emplace_back("still busy");
    }
    for (const Arrives what : after) {
        deliver(what);
    }
    return log;
}

using Log = std::vector<std::string>;

} // namespace

Q_DECLARE_METATYPE(std::vector<Arrives>)

class EventGateTest : public QObject {
    Q_OBJECT

private slots:
    void policy_data() {
        QTest::addColumn<std::vector<Arrives>>("during");
        QTest::addColumn<std::vector<Arrives>>("after");
        QTest::addColumn<Log>("expected");

        QTest::newRow("nothing else") << std::vector<Arrives>{} << std::vector<Arrives>{} << Log{"outer", "end-outer"};
        QTest::newRow("tick while busy is dropped")
            << std::vector<Arrives>{Arrives::Tick} << std::vector<Arrives>{} << Log{"outer", "end-outer"};
        QTest::newRow("tick when idle runs")
            << std::vector<Arrives>{} << std::vector<Arrives>{Arrives::Tick} << Log{"outer", "end-outer", "tick1"};
        QTest::newRow("receive while busy runs after the handler")
            << std::vector<Arrives>{Arrives::Receive} << std::vector<Arrives>{}
            << Log{"outer", "end-outer", "receive1"};
        QTest::newRow("several receives while busy make one")
            << std::vector<Arrives>{Arrives::Receive, Arrives::Receive, Arrives::Receive} << std::vector<Arrives>{}
            << Log{"outer", "end-outer", "receive1"};
        QTest::newRow("user events while busy run after it, in order")
            << std::vector<Arrives>{Arrives::User, Arrives::User} << std::vector<Arrives>{}
            << Log{"outer", "end-outer", "user1", "user2"};
        QTest::newRow("user events go before a held receive")
            << std::vector<Arrives>{Arrives::Receive, Arrives::User} << std::vector<Arrives>{}
            << Log{"outer", "end-outer", "user2", "receive1"};
        QTest::newRow("an event raised by a waiting event runs after that one ends")
            << std::vector<Arrives>{Arrives::UserRaisingUser, Arrives::User} << std::vector<Arrives>{}
            << Log{"outer", "end-outer", "user1", "end-user1", "user2", "raised-by-user1"};
        QTest::newRow("after the handler the gate takes events again")
            << std::vector<Arrives>{Arrives::Receive} << std::vector<Arrives>{Arrives::Receive, Arrives::User}
            << Log{"outer", "end-outer", "receive1", "receive2", "user3"};
        QTest::newRow("closing drops what waits and all that comes")
            << std::vector<Arrives>{Arrives::User, Arrives::Receive, Arrives::Close}
            << std::vector<Arrives>{Arrives::Tick, Arrives::Receive, Arrives::User} << Log{"outer", "end-outer"};
    }

    void policy() {
        QFETCH(std::vector<Arrives>, during);
        QFETCH(std::vector<Arrives>, after);
        QFETCH(Log, expected);
        QCOMPARE(runWithArrivals(during, after), expected);
    }

    // Given polling on and the port open, when the About box waits for the user while the poll
    // timer ticks and a reply arrives, then no query goes out and the reply is shown once the box
    // is gone.
    void windowSkipsTicksAndHoldsReceiveWhileAboxWaits() {
        WindowFixture f;
        f.loadWithPortOpen();
        f.tmrPoll().setInterval(0); // ticks come from the test alone
        bool heldWhileShown = false;
        f.whileBoxShown = [&] {
            emit f.tmrPoll().tick();
            emit f.tmrPoll().tick();
            f.comm.receive("PC0501;");
            f.window.deliverOnComm();
            f.window.deliverOnComm();
            heldWhileShown = f.find<QSlider>("sldTxPwr")->value() == 0;
        };
        f.find<QAction>("mnuHelpAbout")->trigger();

        QVERIFY(heldWhileShown);
        QCOMPARE(f.comm.written, std::vector<std::string>{});
        QCOMPARE(f.find<QSlider>("sldTxPwr")->value(), 50);
        QCOMPARE(f.window.form().pollresultText(), std::string("PC0501;"));
        f.whileBoxShown = nullptr;
        emit f.tmrPoll().tick();
        QCOMPARE(f.comm.written, std::vector<std::string>{"PC;"});
    }

    // The same with a real modal box and the real poll timer: it keeps firing while the box is up,
    // and every tick is dropped.
    void realModalBoxDropsRealTicks() {
        WindowFixture f;
        f.loadWithPortOpen();
        f.window.dialogs().setAnswerer(nullptr);
        f.tmrPoll().setInterval(10);
        QSignalSpy ticks(&f.tmrPoll(), &QtTimer::tick);

        int ticksWhileShown = -1;
        bool heldWhileShown = false;
        QTimer watcher;
        QElapsedTimer waited;
        waited.start();
        connect(&watcher, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || (ticks.count() < 3 && waited.elapsed() < 5000)) {
                return;
            }
            ticksWhileShown = static_cast<int>(ticks.count());
            f.comm.receive("PC0451;");
            f.window.deliverOnComm();
            heldWhileShown = f.find<QSlider>("sldTxPwr")->value() == 0;
            watcher.stop();
            box->accept();
        });
        watcher.start(5);
        f.find<QAction>("mnuHelpAbout")->trigger();

        QVERIFY2(ticksWhileShown >= 3, "the poll timer did not tick while the box was shown");
        QVERIFY(heldWhileShown);
        QCOMPARE(f.comm.written, std::vector<std::string>{});
        QCOMPARE(f.find<QSlider>("sldTxPwr")->value(), 45);
        // Once the box is gone, ticks poll again.
        QTRY_VERIFY(!f.comm.written.empty());
        QCOMPARE(f.comm.written.front(), std::string("PC;"));
    }

    // Exit ends the program at once: nothing that arrives later reaches the window.
    void nothingIsDeliveredAfterExit() {
        WindowFixture f;
        f.loadWithPortOpen();
        QSignalSpy ended(&f.window, &QtMainWindow::programEnded);
        f.find<QAbstractButton>("cmdExit")->click();
        QCOMPARE(ended.count(), 1);
        QVERIFY(!f.comm.open);

        f.comm.receive("PC0501;");
        f.window.deliverOnComm();
        emit f.tmrK3Con().tick();
        f.find<QAction>("mnuHelpAbout")->trigger();
        QCOMPARE(f.window.form().pollresultText(), std::string());
        QCOMPARE(f.find<QSlider>("sldTxPwr")->value(), 0);
        QCOMPARE(f.find<QtLamp>("shpK3Con")->fillColor(), kButtonFace);
        QCOMPARE(f.boxes.size(), std::size_t{1}); // start-up's "no port" message only
    }
};

QUORVEL_QT_TEST(EventGateTest)
#include "EventGateTest.moc"
