// Leaks on purpose, from code of ours that Qt calls: from a test slot, from a button's clicked
// signal, and from a timer that the event loop runs, as it runs every tick and port event of ours. Built only with the
// sanitizers, where expect_leak_report.sh passes only when LeakSanitizer reports both leaks by their functions' names.
// A leak suppression so broad that it hides our own leaks whenever Qt is on the stack makes that check fail.

#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstddef>

namespace {

// Each leak keeps its own function, size and object, so the report can be read unambiguously.
[[gnu::noinline]] void leakFromTestSlot() {
    constexpr std::size_t kBytes = 400;
    auto* bytes = new char[kBytes];
    bytes[0] = 1;
    bytes = nullptr; // the only pointer to the block is dropped: it can no longer be freed
}

[[gnu::noinline]] void leakFromButtonClick() {
    constexpr std::size_t kBytes = 240;
    auto* bytes = new char[kBytes];
    bytes[0] = 1;
    bytes = nullptr;
}

[[gnu::noinline]] void leakFromTimer() {
    constexpr std::size_t kBytes = 160;
    auto* bytes = new char[kBytes];
    bytes[0] = 1;
    bytes = nullptr;
}

} // namespace

class LeakOnPurpose : public QObject {
    Q_OBJECT

private slots:
    void leaksFromATestSlot() { leakFromTestSlot(); }

    void leaksFromAClickedSignal() {
        QPushButton button("Leak");
        int clicks = 0;
        QObject::connect(&button, &QPushButton::clicked, [&clicks] {
            ++clicks;
            leakFromButtonClick();
        });
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks, 1);
    }

    void leaksFromATimerTick() {
        bool ticked = false;
        QTimer::singleShot(0, [&ticked] {
            ticked = true;
            leakFromTimer();
        });
        QTRY_VERIFY(ticked);
    }
};

QTEST_MAIN(LeakOnPurpose)
#include "LeakOnPurpose.moc"
