#include "qt/QtDialogs.h"

#include "qt/QtApplicationTitle.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QWidget>

namespace quorvel {

namespace {

constexpr int kIconBits = 0x70;

// The icon part of a message style. The program asks the user no questions, so every box has
// the one OK button whatever the button part of the style says.
QMessageBox::Icon iconFor(int style) {
    switch (style & kIconBits) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// Line breaks are written CR LF; a lone CR would show as a box glyph.
QString shownText(const std::string& text) {
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

QtDialogs::QtDialogs(const QtApplicationTitle& appTitle, QWidget* window) : m_appTitle(appTitle), m_window(window) {}

QWidget* QtDialogs::boxParent() const {
    return m_window != nullptr && m_window->isVisible() ? m_window : nullptr;
}

void QtDialogs::msgBox(const std::string& prompt, int style, const std::optional<std::string>& title,
                       const std::string& detail) {
    const DialogRequest request{DialogRequest::Kind::Message,       prompt, style,
                                title.value_or(m_appTitle.title()), {},     detail};
    if (m_answerer) {
        m_answerer(request);
        return;
    }
    QMessageBox box(iconFor(style), QString::fromStdString(request.title), shownText(prompt), QMessageBox::Ok,
                    boxParent());
    box.setTextFormat(Qt::PlainText);
    if (!detail.empty()) {
        box.setDetailedText(shownText(detail));
    }
    box.exec();
}

bool QtDialogs::askYesNo(const std::string& prompt, const std::string& detail) {
    const DialogRequest request{DialogRequest::Kind::Question, prompt, 0, m_appTitle.title(), {}, detail};
    if (m_answerer) {
        return m_answerer(request) == "yes";
    }
    QMessageBox box(QMessageBox::Question, QString::fromStdString(request.title), shownText(prompt),
                    QMessageBox::Yes | QMessageBox::No, boxParent());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    if (!detail.empty()) {
        box.setInformativeText(shownText(detail));
    }
    return box.exec() == QMessageBox::Yes;
}

std::string QtDialogs::inputBox(const std::string& prompt, const std::string& title, const std::string& defaultText) {
    const DialogRequest request{
        DialogRequest::Kind::Input, prompt, 0, title.empty() ? m_appTitle.title() : title, defaultText, {}};
    if (m_answerer) {
        return m_answerer(request);
    }
    QInputDialog box(boxParent());
    box.setInputMode(QInputDialog::TextInput);
    box.setWindowTitle(QString::fromStdString(request.title));
    box.setLabelText(shownText(prompt));
    box.setTextValue(QString::fromStdString(defaultText));
    if (box.exec() != QDialog::Accepted) {
        return {};
    }
    return box.textValue().toStdString();
}

} // namespace quorvel
