// The slider under a real mouse: a press and a release anywhere on it reach the window once each,
// and the release sends one power command; the keyboard moves it and sends nothing.

#include "link/PowerCommand.h"
#include "qt/QtSlider.h"
#include "tests/qt/QtTestMain.h"
#include "tests/qt/WindowFixture.h"

#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>

using namespace quorvel;
using quorvel::testing::WindowFixture;

namespace {

enum class Spot { Handle, GrooveAbove, GrooveBelow };

QRect handleRect(QtSlider& slider) {
    QStyleOptionSlider option;
    option.initFrom(&slider);
    option.orientation = slider.orientation();
    option.minimum = slider.minimum();
    option.maximum = slider.maximum();
    option.sliderPosition = slider.sliderPosition();
    option.sliderValue = slider.value();
    option.tickPosition = slider.tickPosition();
    option.tickInterval = slider.tickInterval();
    option.singleStep = slider.singleStep();
    option.pageStep = slider.pageStep();
    // As QSlider fills it in: a vertical slider counts from the bottom.
    option.upsideDown = !slider.invertedAppearance();
    option.direction = slider.layoutDirection();
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    return slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider);
}

// A point of the slider in the coordinates of the window's QWindow, as the mouse sees it.
QPoint spotOnWindow(WindowFixture& f, QtSlider& slider, Spot spot) {
    const QRect handle = handleRect(slider);
    QPoint local = handle.center();
    if (spot == Spot::GrooveAbove) {
        local.setY(handle.top() / 2);
    } else if (spot == Spot::GrooveBelow) {
        local.setY((handle.bottom() + slider.height()) / 2);
    }
    return slider.mapTo(&f.window, local);
}

} // namespace

Q_DECLARE_METATYPE(Spot)

class SliderEventsTest : public QObject {
    Q_OBJECT

private slots:
    void clickAnywhereOnTheSliderSendsOneCommand_data() {
        QTest::addColumn<int>("startValue");
        QTest::addColumn<Spot>("spot");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("expectedValue");

        QTest::newRow("handle, left button") << 50 << Spot::Handle << Qt::LeftButton << 50;
        QTest::newRow("handle at 0") << 0 << Spot::Handle << Qt::LeftButton << 0;
        QTest::newRow("handle, right button") << 50 << Spot::Handle << Qt::RightButton << 50;
        // QSlider pages by LargeChange (1) toward the click; that is still one press and one release.
        QTest::newRow("groove above the handle") << 50 << Spot::GrooveAbove << Qt::LeftButton << 51;
        QTest::newRow("groove below the handle") << 50 << Spot::GrooveBelow << Qt::LeftButton << 49;
        QTest::newRow("groove below, from 9 to 8: low range") << 9 << Spot::GrooveBelow << Qt::LeftButton << 8;
    }

    void clickAnywhereOnTheSliderSendsOneCommand() {
        QFETCH(int, startValue);
        QFETCH(Spot, spot);
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, expectedValue);

        WindowFixture f;
        f.loadWithPortOpen();
        QVERIFY(f.showActive());
        auto* slider = f.find<QtSlider>("sldTxPwr");
        slider->QSlider::setValue(startValue);
        QSignalSpy downs(slider, &QtSlider::mouseDown);
        QSignalSpy ups(slider, &QtSlider::mouseUp);
        const QPoint at = spotOnWindow(f, *slider, spot);

        QTest::mousePress(f.window.windowHandle(), button, {}, at);
        QCOMPARE(downs.count(), 1);
        QVERIFY2(!f.tmrPoll().enabled(), "polling goes on while the button is down");
        QCOMPARE(f.setCommands(), std::vector<std::string>{});

        QTest::mouseRelease(f.window.windowHandle(), button, {}, at);
        QCOMPARE(downs.count(), 1);
        QCOMPARE(ups.count(), 1);
        QCOMPARE(slider->value(), expectedValue);
        QCOMPARE(f.setCommands(), std::vector<std::string>{*sliderCommand(expectedValue)});
        QVERIFY(f.tmrPoll().enabled());
        QCOMPARE(slider->toolTip(), QString::number(expectedValue));
    }

    // Press on the handle, drag it up, release: one command for where it was let go.
    void dragSendsOnlyOnRelease() {
        WindowFixture f;
        f.loadWithPortOpen();
        QVERIFY(f.showActive());
        auto* slider = f.find<QtSlider>("sldTxPwr");
        slider->QSlider::setValue(20);
        QSignalSpy downs(slider, &QtSlider::mouseDown);
        QSignalSpy ups(slider, &QtSlider::mouseUp);
        QPoint at = spotOnWindow(f, *slider, Spot::Handle);

        QTest::mousePress(f.window.windowHandle(), Qt::LeftButton, {}, at);
        for (int step = 0; step < 6; ++step) {
            at.ry() -= 8;
            QTest::mouseMove(f.window.windowHandle(), at);
        }
        QVERIFY2(slider->value() > 20, "the drag did not move the slider");
        QCOMPARE(f.setCommands(), std::vector<std::string>{});
        QTest::mouseRelease(f.window.windowHandle(), Qt::LeftButton, {}, at);

        QCOMPARE(downs.count(), 1);
        QCOMPARE(ups.count(), 1);
        QCOMPARE(f.setCommands(), std::vector<std::string>{*sliderCommand(slider->value())});
        QCOMPARE(f.window.form().txpwrText(), std::to_string(slider->value()));
    }

    // A double click is two presses and two releases, each pair sending the command again.
    void doubleClickIsTwoClicks() {
        WindowFixture f;
        f.loadWithPortOpen();
        QVERIFY(f.showActive());
        auto* slider = f.find<QtSlider>("sldTxPwr");
        slider->QSlider::setValue(30);
        QSignalSpy downs(slider, &QtSlider::mouseDown);
        QSignalSpy ups(slider, &QtSlider::mouseUp);
        QTest::mouseDClick(f.window.windowHandle(), Qt::LeftButton, {}, spotOnWindow(f, *slider, Spot::Handle));
        QCOMPARE(downs.count(), 2);
        QCOMPARE(ups.count(), 2);
        QCOMPARE(f.setCommands(), (std::vector<std::string>{"PC0301;", "PC0301;"}));
    }

    // With polling off, pressing and releasing leaves the poll timer off.
    void releaseWithPollingOffLeavesPollingOff() {
        WindowFixture f;
        f.loadWithPortOpen("0");
        QVERIFY(f.showActive());
        auto* slider = f.find<QtSlider>("sldTxPwr");
        QTest::mouseClick(f.window.windowHandle(), Qt::LeftButton, {}, spotOnWindow(f, *slider, Spot::Handle));
        QCOMPARE(f.setCommands(), std::vector<std::string>{"PC0000;"});
        QVERIFY(!f.tmrPoll().enabled());
    }

    void keyboardMovesItAndSendsNothing_data() {
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<int>("expectedValue");
        QTest::newRow("up") << Qt::Key_Up << 51;
        QTest::newRow("down") << Qt::Key_Down << 49;
        QTest::newRow("page up") << Qt::Key_PageUp << 51;
        QTest::newRow("home") << Qt::Key_Home << 0;
        QTest::newRow("end") << Qt::Key_End << 100;
    }

    void keyboardMovesItAndSendsNothing() {
        QFETCH(Qt::Key, key);
        QFETCH(int, expectedValue);
        WindowFixture f;
        f.loadWithPortOpen();
        QVERIFY(f.showActive());
        auto* slider = f.find<QtSlider>("sldTxPwr");
        slider->QSlider::setValue(50);
        slider->QWidget::setFocus(Qt::TabFocusReason);
        QSignalSpy downs(slider, &QtSlider::mouseDown);
        QSignalSpy ups(slider, &QtSlider::mouseUp);

        QTest::keyClick(slider, key);
        QCOMPARE(slider->value(), expectedValue);
        QCOMPARE(downs.count() + ups.count(), 0);
        QCOMPARE(f.setCommands(), std::vector<std::string>{});
        QVERIFY(f.tmrPoll().enabled());
    }

    // A reply with a value outside the slider's range: QSlider clamps it, and the panel goes on.
    void valueOutsideTheRangeIsClamped() {
        WindowFixture f;
        f.load();
        auto* slider = f.find<QtSlider>("sldTxPwr");
        Slider& core = *slider;
        core.setMax(10);
        core.setValue(12);
        QCOMPARE(core.value(), 10);
        core.setValue(-3);
        QCOMPARE(core.value(), 0);
    }
};

QUORVEL_QT_TEST(SliderEventsTest)
#include "SliderEventsTest.moc"
