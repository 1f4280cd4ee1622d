#include "qt/QtSharingDialog.h"

#include "share/ShareAddress.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace quorvel {

namespace {
constexpr const char* kLinkSuggestion = "~/.wine/dosdevices/com9";

// This machine only: 127.0.0.0/8, ::1, or an IPv4 loopback address written as IPv6. An address
// that does not parse is not taken for one, so it gets the warning.
bool isLoopback(const std::string& host) {
    in_addr v4{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24U) == 127U;
    }
    in6_addr v6{};
    return ::inet_pton(AF_INET6, host.c_str(), &v6) == 1 &&
           (IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127U));
}
} // namespace

QtSharingBox::QtSharingBox(const SharingChoice& current, QWidget* parent)
    : QDialog(parent), m_networkTick(new QCheckBox(tr("Share on the &network, for programs that use Hamlib"), this)),
      m_address(new QLineEdit(this)), m_warning(new QLabel(this)),
      m_linkTick(new QCheckBox(tr("Share as a &serial port, for programs that open one themselves"), this)),
      m_link(new QLineEdit(this)) {
    setWindowTitle(tr("Sharing"));
    setObjectName(QStringLiteral("dlgSharing"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(tr("Other programs can use the radio through Quorvel, one exchange at a time."), this));

    // The offered address is this machine's own; another is used only when typed.
    m_networkTick->setChecked(!current.address.empty());
    m_address->setText(
        QString::fromStdString(current.address.empty() ? std::string(kDefaultShareAddress) : current.address));
    m_address->setAccessibleName(tr("Network address and port"));
    m_warning->setWordWrap(true);
    m_warning->setAccessibleName(tr("Warning"));
    layout->addWidget(m_networkTick);
    layout->addWidget(m_address);
    layout->addWidget(m_warning);

    m_linkTick->setChecked(!current.link.empty());
    m_link->setText(current.link.empty() ? QString::fromLatin1(kLinkSuggestion) : QString::fromStdString(current.link));
    m_link->setAccessibleName(tr("Serial port path"));
    layout->addWidget(m_linkTick);
    layout->addWidget(m_link);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(m_networkTick, &QCheckBox::toggled, m_address, &QWidget::setEnabled);
    connect(m_linkTick, &QCheckBox::toggled, m_link, &QWidget::setEnabled);
    connect(m_networkTick, &QCheckBox::toggled, this, &QtSharingBox::sayWarning);
    connect(m_address, &QLineEdit::textChanged, this, &QtSharingBox::sayWarning);
    m_address->setEnabled(m_networkTick->isChecked());
    m_link->setEnabled(m_linkTick->isChecked());
    sayWarning();
}

SharingChoice QtSharingBox::choice() const {
    return {m_networkTick->isChecked() ? m_address->text().trimmed().toStdString() : std::string(),
            m_linkTick->isChecked() ? m_link->text().trimmed().toStdString() : std::string()};
}

QString QtSharingBox::warning() const {
    return m_warning->text();
}

void QtSharingBox::sayWarning() {
    const std::optional<ShareAddress> address = parseShareAddress(m_address->text().trimmed().toStdString());
    const bool outside = m_networkTick->isChecked() && address && !isLoopback(address->host);
    m_warning->setText(outside ? tr("Anyone who can reach this address can key your transmitter. Share beyond this "
                                    "computer only on a network you trust.")
                               : QString());
    m_warning->setVisible(outside);
}

std::optional<SharingChoice> QtSharingDialog::chooseDoors(const SharingChoice& current) {
    QtSharingBox box(current, m_window);
    const bool accepted = m_filler ? m_filler(box) : box.exec() == QDialog::Accepted;
    if (!accepted) {
        return std::nullopt;
    }
    return box.choice();
}

} // namespace quorvel
