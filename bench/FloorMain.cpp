// The floor of our stack: a bare Qt Widgets + SerialPort window that polls the radio as quorvel
// does (38400 8N1, modem lines low, "PC;" every 500 ms, each reply shown in a line edit and on a
// slider) and nothing else: no menus, lamps, settings, icon or fonts of its own. compare_floor.py
// runs it beside quorvel; what quorvel costs above it is the price of its own code.
//
// Usage: quorvel_floor DEVICE
#include <QApplication>
#include <QByteArray>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSerialPort>
#include <QSlider>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds{500};
// "PC" + three digits + range flag + ";"
constexpr qsizetype kReplyLength = 7;

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: quorvel_floor DEVICE\n", stderr);
        return 2;
    }

    QSerialPort port(QString::fromLocal8Bit(argv[1]));
    port.setBaudRate(QSerialPort::Baud38400);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "quorvel_floor: %s\n", qPrintable(port.errorString()));
        return 1;
    }
    port.setRequestToSend(false);
    port.setDataTerminalReady(false);
    port.clearError(); // a pseudo-terminal has no modem lines

    QWidget window;
    window.setWindowTitle(QStringLiteral("Quorvel floor"));
    auto* slider = new QSlider(Qt::Vertical, &window);
    slider->setRange(0, 100);
    auto* power = new QLineEdit(&window);
    auto* layout = new QHBoxLayout(&window);
    layout->addWidget(slider);
    layout->addWidget(power);

    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &port, [&port] { port.write("PC;", 3); });
    QByteArray pending;
    QObject::connect(&port, &QSerialPort::readyRead, &window, [&] {
        pending += port.readAll();
        const qsizetype end = pending.indexOf(';');
        if (end < 0) {
            return;
        }
        const QByteArray reply = pending.left(end + 1);
        pending.remove(0, end + 1);
        if (reply.size() != kReplyLength || !reply.startsWith("PC")) {
            return;
        }
        const int digits = reply.mid(2, 3).toInt();
        const bool high = reply.at(5) == '1';
        const QString shown = high ? QString::number(digits) : QString::number(digits / 10.0, 'f', 1);
        // Only what changed is touched, as any careful Qt program would.
        if (power->text() != shown) {
            power->setText(shown);
        }
        slider->setMaximum(high ? 100 : 10);
        slider->setValue(high ? digits : (digits + 5) / 10);
        if (slider->toolTip() != shown) {
            slider->setToolTip(shown);
        }
    });
    poll.start(kPollInterval);

    window.show();
    return QApplication::exec();
}
