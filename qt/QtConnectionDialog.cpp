#include "qt/QtConnectionDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <array>

namespace quorvel {

namespace {

using Kind = ConnectionChoice::Kind;

// One network route's row: its option and its two fields.
struct RouteRow {
    Kind kind;
    const char* name;    // the object names' stem: optTcp, txtTcpHost, txtTcpPort
    const char* caption; // the option's caption with its access key
    const char* spoken;  // how a screen reader names the route's fields
    std::string_view defaultPort;
    QRadioButton* option = nullptr;
    QLineEdit* host = nullptr;
    QLineEdit* port = nullptr;
};

QLineEdit* makeField(QDialog* dialog, QGridLayout* grid, int row, int column, const QString& caption,
                     const QString& name, const QString& spoken) {
    auto* label = new QLabel(caption, dialog);
    auto* field = new QLineEdit(dialog);
    field->setObjectName(name);
    field->setAccessibleName(spoken);
    label->setBuddy(field);
    grid->addWidget(label, row, column);
    grid->addWidget(field, row, column + 1);
    return field;
}

} // namespace

std::optional<ConnectionChoice> QtConnectionDialog::choose(const ConnectionOffer& offer) {
    QDialog dialog(m_window != nullptr && m_window->isVisible() ? m_window : nullptr);
    dialog.setObjectName(QStringLiteral("dlgConnection"));
    dialog.setWindowTitle(QStringLiteral("Connection"));
    dialog.setAccessibleName(QStringLiteral("Connection"));
    dialog.setAccessibleDescription(QStringLiteral("Choose how Quorvel reaches the radio"));
    auto* grid = new QGridLayout(&dialog);
    auto* options = new QButtonGroup(&dialog);

    auto* device = new QRadioButton(QStringLiteral("Serial &device"), &dialog);
    device->setObjectName(QStringLiteral("optDevice"));
    options->addButton(device);
    grid->addWidget(device, 0, 0, 1, 5);

    auto* devices = new QListWidget(&dialog);
    devices->setObjectName(QStringLiteral("lstDevices"));
    devices->setAccessibleName(QStringLiteral("Serial devices"));
    for (const SerialDevice& present : offer.devices) {
        auto* item = new QListWidgetItem(QString::fromStdString(present.label), devices);
        item->setData(Qt::UserRole, QString::fromStdString(present.path));
        if (offer.current.kind == Kind::Device && present.path == offer.current.device) {
            devices->setCurrentItem(item);
        }
    }
    if (devices->currentItem() == nullptr && devices->count() > 0) {
        devices->setCurrentRow(0);
    }
    if (devices->count() == 0) {
        devices->setAccessibleDescription(QStringLiteral("No serial device is plugged in"));
    }
    grid->addWidget(devices, 1, 0, 1, 5);

    auto* comLabel = new QLabel(QStringLiteral("Com &number:"), &dialog);
    auto* comNumber = new QComboBox(&dialog);
    comNumber->setObjectName(QStringLiteral("cboComNumber"));
    comNumber->setAccessibleName(QStringLiteral("Com number"));
    comNumber->setAccessibleDescription(QStringLiteral("The Com number the device is put behind"));
    comLabel->setBuddy(comNumber);
    comNumber->addItem(QStringLiteral("The first free one"), 0);
    for (int n = 1; n <= static_cast<int>(offer.comTargets.size()); ++n) {
        const std::string& target = offer.comTargets.at(static_cast<std::size_t>(n - 1));
        comNumber->addItem(QStringLiteral("Com%1").arg(n) +
                               (target.empty() ? QString() : QStringLiteral(", now ") + QString::fromStdString(target)),
                           n);
    }
    grid->addWidget(comLabel, 2, 0);
    grid->addWidget(comNumber, 2, 1, 1, 4);

    std::array<RouteRow, 3> routes{{
        {Kind::Tcp, "Tcp", "&TCP serial server (ser2net)", "TCP server", ""},
        {Kind::Rigctld, "Rigctld", "&rigctld", "rigctld", kDefaultRigctldPort},
        {Kind::Flrig, "Flrig", "&flrig", "flrig", kDefaultFlrigPort},
    }};
    int row = 3;
    for (RouteRow& route : routes) {
        const QString stem = QLatin1String(route.name);
        const QString spoken = QLatin1String(route.spoken);
        route.option = new QRadioButton(QLatin1String(route.caption), &dialog);
        route.option->setObjectName(QStringLiteral("opt") + stem);
        options->addButton(route.option);
        grid->addWidget(route.option, row, 0);
        route.host = makeField(&dialog, grid, row, 1, QStringLiteral("Host:"), QStringLiteral("txt%1Host").arg(stem),
                               spoken + QStringLiteral(" host"));
        route.port = makeField(&dialog, grid, row, 3, QStringLiteral("Port:"), QStringLiteral("txt%1Port").arg(stem),
                               spoken + QStringLiteral(" port"));
        const bool inUse = offer.current.kind == route.kind;
        route.host->setText(inUse ? QString::fromStdString(offer.current.host) : QString::fromUtf8(kDefaultRouteHost));
        route.port->setText(inUse ? QString::fromStdString(offer.current.port) : QString::fromUtf8(route.defaultPort));
        ++row;
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    grid->addWidget(buttons, row, 0, 1, 5);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    // A double click or Enter on a device chooses it at once.
    QObject::connect(devices, &QListWidget::itemActivated, &dialog, &QDialog::accept);

    // Only the chosen option's own controls take input, so Tab passes over the others; OK waits for
    // a device to be picked.
    const auto follow = [&] {
        buttons->button(QDialogButtonBox::Ok)->setEnabled(!device->isChecked() || devices->currentItem() != nullptr);
        devices->setEnabled(device->isChecked());
        comNumber->setEnabled(device->isChecked());
        comLabel->setEnabled(device->isChecked());
        for (const RouteRow& route : routes) {
            route.host->setEnabled(route.option->isChecked());
            route.port->setEnabled(route.option->isChecked());
        }
    };
    QObject::connect(options, &QButtonGroup::buttonToggled, &dialog, follow);
    QObject::connect(devices, &QListWidget::currentItemChanged, &dialog, follow);
    QRadioButton* start = device;
    for (const RouteRow& route : routes) {
        if (offer.current.kind == route.kind) {
            start = route.option;
        }
    }
    start->setChecked(true);
    follow();

    QWidget::setTabOrder(device, devices);
    QWidget::setTabOrder(devices, comNumber);
    QWidget* last = comNumber;
    for (const RouteRow& route : routes) {
        QWidget::setTabOrder(last, route.option);
        QWidget::setTabOrder(route.option, route.host);
        QWidget::setTabOrder(route.host, route.port);
        last = route.port;
    }
    QWidget::setTabOrder(last, buttons);
    // The chosen option first: Qt makes the option that last had the focus its group's one tab stop.
    start->setFocus();

    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    ConnectionChoice choice;
    if (device->isChecked()) {
        const QListWidgetItem* picked = devices->currentItem();
        choice.device = picked->data(Qt::UserRole).toString().toStdString();
        choice.comNumber = comNumber->currentData().toInt();
        return choice;
    }
    for (const RouteRow& route : routes) {
        if (route.option->isChecked()) {
            choice.kind = route.kind;
            choice.host = route.host->text().trimmed().toStdString();
            choice.port = route.port->text().trimmed().toStdString();
        }
    }
    return choice;
}

} // namespace quorvel
