#include "bench/ReplyLatencyRun.h"

#include "bench/LatencyStats.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QSerialPort>
#include <QSlider>
#include <QSocketNotifier>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <unistd.h>

namespace quorvel::bench {

namespace {

using namespace std::chrono_literals;

constexpr auto kAttachRetry = 10ms;
// The last reply's repaint is waited for this long before the run ends without it.
constexpr auto kLastPaintWait = 1s;
constexpr double kNotSeen = std::numeric_limits<double>::quiet_NaN();

double micros(RadioEnd::Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

} // namespace

ReplyLatencyRun::ReplyLatencyRun(const RunOptions& options, const std::string& mappingDir, QObject* parent)
    : QObject(parent), m_options(options), m_link(mappingDir + "/com1", m_pty.devicePath()),
      m_radio(m_pty.masterFd(), {{"PC0501;", 50}, {"PC0551;", 55}}, m_options.turnaround), m_started(Clock::now()) {
    m_attachTimer.setInterval(kAttachRetry);
    connect(&m_attachTimer, &QTimer::timeout, this, &ReplyLatencyRun::attach);
    m_attachTimer.start();

    // Generous against a poll every interval: only a reply that never shows trips it.
    m_stallTimer.setSingleShot(true);
    m_stallTimer.setInterval(std::max<std::chrono::milliseconds>(5s, 10 * m_options.interval));
    connect(&m_stallTimer, &QTimer::timeout, this, &ReplyLatencyRun::onStalled);
    m_stallTimer.start();
}

ReplyLatencyRun::~ReplyLatencyRun() = default;

void ReplyLatencyRun::attach() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        // A box during start-up (the port refused, say) means the panel never got its port.
        const auto* box = qobject_cast<const QMessageBox*>(modal);
        m_startupFailure =
            "start-up showed a box: " + (box != nullptr ? box->text() : modal->windowTitle()).toStdString();
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->done(0);
        }
        return;
    }
    if (!m_startupFailure.empty()) {
        finish(1, m_startupFailure);
        return;
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("Form1") && widget->isVisible()) {
            m_window = widget;
        }
    }
    if (m_window == nullptr) {
        return;
    }
    m_attachTimer.stop();
    m_slider = m_window->findChild<QSlider*>(QStringLiteral("sldTxPwr"));
    m_box = m_window->findChild<QLineEdit*>(QStringLiteral("txtTxPwr"));
    if (m_slider == nullptr || m_box == nullptr) {
        finish(1, "the window has no sldTxPwr slider or txtTxPwr box");
        return;
    }
    connect(m_slider, &QSlider::valueChanged, this, &ReplyLatencyRun::onDisplayChanged);
    connect(m_box, &QLineEdit::textChanged, this, &ReplyLatencyRun::onDisplayChanged);
    m_slider->installEventFilter(this);
    m_box->installEventFilter(this);
    m_window->installEventFilter(this);
    // The serial port's notifier is not a widget of the window: only the application sees its
    // activations go by.
    QCoreApplication::instance()->installEventFilter(this);
    m_started = Clock::now();
    m_ticksAtStart = readCpuTicks();
    m_radio.arm();
    m_stallTimer.start();
}

bool ReplyLatencyRun::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::SockAct:
        // The port's write notifier fires too, right after each query goes out.
        if (const auto* notifier = qobject_cast<QSocketNotifier*>(watched);
            notifier != nullptr && notifier->type() == QSocketNotifier::Read &&
            qobject_cast<QSerialPort*>(notifier->parent()) != nullptr) {
            onSerialNotifier();
        }
        break;
    case QEvent::Paint:
        m_sliderPainted = m_sliderPainted || watched == m_slider;
        m_boxPainted = m_boxPainted || watched == m_box;
        break;
    case QEvent::UpdateRequest:
        if (watched == m_window && m_awaitingPaint) {
            // The window repaints its dirty controls and hands the result to the platform inside
            // its own handling of this event; running it here lets the run time its end.
            watched->event(event);
            onRepainted();
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void ReplyLatencyRun::onSerialNotifier() {
    const auto now = Clock::now();
    const std::optional<RadioEnd::InFlight> flight = m_radio.inFlight();
    if (flight && (!m_woken || m_woken->number != flight->number)) {
        m_woken = Woken{flight->number, now};
    }
}

void ReplyLatencyRun::onDisplayChanged() {
    const auto now = Clock::now();
    const std::optional<RadioEnd::InFlight> flight = m_radio.inFlight();
    // The slider moves before the box is written: the reply is shown once both hold it.
    if (!flight || m_slider->value() != flight->watts || m_box->text() != QString::number(flight->watts)) {
        return;
    }
    m_radio.seen(flight->number);
    ++m_seen;
    m_awaitingPaintTimed = m_seen > m_options.warmUp;
    if (m_awaitingPaintTimed) {
        const bool woken = m_woken && m_woken->number == flight->number;
        m_samples.push_back(
            {woken ? micros(m_woken->at - flight->written) : kNotSeen, micros(now - flight->written), kNotSeen});
    }
    m_awaitingPaint = flight->written;
    m_sliderPainted = false;
    m_boxPainted = false;
    m_stallTimer.start();
    if (m_samples.size() >= m_options.replies) {
        m_radio.disarm();
        QTimer::singleShot(kLastPaintWait, this, [this] { finish(0, {}); });
    }
}

void ReplyLatencyRun::onRepainted() {
    if (!m_sliderPainted || !m_boxPainted) {
        return;
    }
    if (m_awaitingPaintTimed && !m_samples.empty()) {
        m_samples.back().painted = micros(Clock::now() - *m_awaitingPaint);
    }
    m_awaitingPaint.reset();
    if (m_samples.size() >= m_options.replies) {
        finish(0, {});
    }
}

void ReplyLatencyRun::onStalled() {
    if (m_window == nullptr) {
        finish(1, m_startupFailure.empty() ? "the window did not appear" : m_startupFailure);
        return;
    }
    std::string why = "no reply shown for " + std::to_string(m_stallTimer.interval()) + " ms";
    const std::string radioError = m_radio.error();
    if (!radioError.empty()) {
        why += " (radio: " + radioError + ")";
    }
    finish(1, why);
}

void ReplyLatencyRun::finish(int status, const std::string& why) {
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_radio.disarm();
    m_attachTimer.stop();
    m_stallTimer.stop();
    report();
    if (!m_options.samplesFile.empty() && !writeSamples()) {
        status = 1;
    }
    if (!why.empty()) {
        std::fprintf(stderr, "reply_latency: %s\n", why.c_str());
    }
    QCoreApplication::exit(status);
}

void ReplyLatencyRun::report() const {
    const double seconds = std::chrono::duration<double>(Clock::now() - m_started).count();
    const long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
    const double others = othersPercent(m_ticksAtStart, readCpuTicks(), seconds, ::sysconf(_SC_CLK_TCK), processors);

    // Each figure over the replies that reached its stage.
    auto figures = [this](double (*pick)(const Sample&)) {
        std::vector<double> values;
        for (const Sample& s : m_samples) {
            if (const double v = pick(s); std::isfinite(v)) {
                values.push_back(v);
            }
        }
        return summarize(std::move(values));
    };

    std::printf("Reply to display in the real program: platform %s, poll interval %lld ms, radio turnaround %lld us\n",
                QGuiApplication::platformName().toStdString().c_str(),
                static_cast<long long>(m_options.interval.count()),
                static_cast<long long>(m_options.turnaround.count()));
    std::printf("replies shown %zu (first %zu not timed), queries received %zu, replies written %zu, %.1f s\n", m_seen,
                m_options.warmUp, m_radio.queries(), m_radio.answered(), seconds);
    std::printf("other programs kept %.0f %% of the %ld processors busy meanwhile\n", others, processors);
    std::printf("%s\n", statsHeader("microseconds").c_str());
    std::printf("%s\n", statsRow("shown", figures([](const Sample& s) { return s.shown; })).c_str());
    std::printf("%s\n", statsRow("painted", figures([](const Sample& s) { return s.painted; })).c_str());
    std::printf("of which:\n");
    std::printf("%s\n", statsRow(" line to loop", figures([](const Sample& s) { return s.woken; })).c_str());
    std::printf("%s\n", statsRow(" loop to shown", figures([](const Sample& s) { return s.shown - s.woken; })).c_str());
    std::printf("%s\n",
                statsRow(" shown to paint", figures([](const Sample& s) { return s.painted - s.shown; })).c_str());
    std::printf("(from the write of the reply on the line; \"line to loop\" ends when the event loop dispatches the\n"
                " serial port's read notifier, \"loop to shown\" is the program's own work on the reply)\n");
    std::fflush(stdout);
}

bool ReplyLatencyRun::writeSamples() const {
    std::ofstream out(m_options.samplesFile);
    out << "reply,woken_us,shown_us,painted_us\n";
    for (std::size_t i = 0; i < m_samples.size(); ++i) {
        const Sample& s = m_samples[i];
        out << i << ',' << s.woken << ',' << s.shown << ',' << s.painted << '\n';
    }
    if (!out.flush()) {
        std::fprintf(stderr, "reply_latency: cannot write %s\n", m_options.samplesFile.c_str());
        return false;
    }
    return true;
}

} // namespace quorvel::bench
