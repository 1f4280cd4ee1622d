#pragma once

#include "bench/CpuTicks.h"
#include "bench/RadioEnd.h"
#include "bench/RunOptions.h"
#include "sim/PortLink.h"
#include "sim/PseudoTerminal.h"

#include <QObject>
#include <QTimer>

#include <optional>
#include <string>
#include <vector>

class QLineEdit;
class QSlider;
class QWidget;

namespace quorvel::bench {

// A latency run inside the real program. The program starts as it always does (its window, serial
// component, settings file and event delivery); this object, made with the application, plays the
// radio on a pseudo-terminal linked as Com1 in the given mapping folder and times every reply from
// its write on the line:
//  - woken: until the event loop hands the serial port's read notifier its activation (the
//    system's share: the line, the scheduler, the event dispatcher);
//  - shown: until the slider and the power box both hold the value (the program's own share is
//    shown less woken: the port's read, the receive event, the handler, the widgets);
//  - painted: until the window's next repaint that drew both has been handed to the platform.
// It ends the program when done, after printing the figures; exit status 1 when the run failed.
class ReplyLatencyRun : public QObject {
    Q_OBJECT
public:
    ReplyLatencyRun(const RunOptions& options, const std::string& mappingDir, QObject* parent);
    ~ReplyLatencyRun() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Clock = RadioEnd::Clock;

    // Microseconds from the write on the line; NaN for a stage that was not seen.
    struct Sample {
        double woken;
        double shown;
        double painted;
    };
    struct Woken {
        std::size_t number;
        Clock::time_point at;
    };

    void attach();
    void onDisplayChanged();
    void onSerialNotifier();
    void onRepainted();
    void onStalled();
    void finish(int status, const std::string& why);
    void report() const;
    bool writeSamples() const;

    RunOptions m_options;
    sim::PseudoTerminal m_pty;
    sim::PortLink m_link;
    RadioEnd m_radio;
    Clock::time_point m_started;
    CpuTicks m_ticksAtStart;
    QTimer m_attachTimer;
    QTimer m_stallTimer;
    QWidget* m_window = nullptr;
    QSlider* m_slider = nullptr;
    QLineEdit* m_box = nullptr;
    std::string m_startupFailure;
    std::size_t m_seen = 0;
    std::vector<Sample> m_samples;
    std::optional<Woken> m_woken;
    // The last reply shown, until a repaint has drawn it on both controls.
    std::optional<Clock::time_point> m_awaitingPaint;
    bool m_awaitingPaintTimed = false;
    bool m_sliderPainted = false;
    bool m_boxPainted = false;
    bool m_finished = false;
};

} // namespace quorvel::bench
