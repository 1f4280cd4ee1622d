#include "bench/ReplyLatencyRun.h"

#include "bench/LatencyStats.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QSlider>

#include <algorithm>
#include <cstdio>

namespace quorvel::bench {

namespace {

using namespace std::chrono_literals;

constexpr auto kAttachRetry = 10ms;
// The last reply's repaint is waited for this long before the run ends without it.
constexpr auto kLastPaintWait = 1s;

double micros(RadioEnd::Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

} // namespace

ReplyLatencyRun::ReplyLatencyRun(const RunOptions& options, const std::string& mappingDir, QObject* parent)
    : QObject(parent), m_options(options), m_link(mappingDir + "/com1", m_pty.devicePath()),
      m_radio(m_pty.masterFd(), {{"PC0501;", 50}, {"PC0551;", 55}}), m_started(RadioEnd::Clock::now()) {
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
    m_started = RadioEnd::Clock::now();
    m_radio.arm();
    m_stallTimer.start();
}

void ReplyLatencyRun::onDisplayChanged() {
    const auto now = RadioEnd::Clock::now();
    const std::optional<RadioEnd::InFlight> flight = m_radio.inFlight();
    // The slider moves before the box is written: the reply is shown once both hold it.
    if (!flight || m_slider->value() != flight->watts || m_box->text() != QString::number(flight->watts)) {
        return;
    }
    m_radio.seen(flight->number);
    ++m_seen;
    m_awaitingPaintTimed = m_seen > m_options.warmUp;
    if (m_awaitingPaintTimed) {
        m_shownUs.push_back(micros(now - flight->written));
    }
    m_awaitingPaint = flight->written;
    m_sliderPainted = false;
    m_boxPainted = false;
    m_stallTimer.start();
    if (m_shownUs.size() >= m_options.replies) {
        m_radio.disarm();
        QTimer::singleShot(kLastPaintWait, this, [this] { finish(0, {}); });
    }
}

bool ReplyLatencyRun::eventFilter(QObject* watched, QEvent* event) {
    if (!m_awaitingPaint) {
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::Paint) {
        m_sliderPainted = m_sliderPainted || watched == m_slider;
        m_boxPainted = m_boxPainted || watched == m_box;
    } else if (watched == m_window && event->type() == QEvent::UpdateRequest) {
        // The window repaints its dirty controls and hands the result to the platform inside its
        // own handling of this event; running it here lets the run time its end.
        watched->event(event);
        if (m_sliderPainted && m_boxPainted) {
            if (m_awaitingPaintTimed) {
                m_paintedUs.push_back(micros(RadioEnd::Clock::now() - *m_awaitingPaint));
            }
            m_awaitingPaint.reset();
            if (m_shownUs.size() >= m_options.replies) {
                finish(0, {});
            }
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
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
    if (!why.empty()) {
        std::fprintf(stderr, "reply_latency: %s\n", why.c_str());
    }
    QCoreApplication::exit(status);
}

void ReplyLatencyRun::report() const {
    const double seconds = std::chrono::duration<double>(RadioEnd::Clock::now() - m_started).count();
    std::printf("Reply to display in the real program: platform %s, poll interval %lld ms\n",
                QGuiApplication::platformName().toStdString().c_str(),
                static_cast<long long>(m_options.interval.count()));
    std::printf("replies shown %zu (first %zu not timed), queries received %zu, replies written %zu, %.1f s\n", m_seen,
                m_options.warmUp, m_radio.queries(), m_radio.answered(), seconds);
    std::printf("%s\n", statsHeader("microseconds from the write on the line").c_str());
    std::printf("%s\n", statsRow("shown", summarize(m_shownUs)).c_str());
    std::printf("%s\n", statsRow("painted", summarize(m_paintedUs)).c_str());
    std::fflush(stdout);
}

} // namespace quorvel::bench
