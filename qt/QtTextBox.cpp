#include "qt/QtTextBox.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>
#include <utility>

namespace quorvel {

namespace {
constexpr std::int16_t kEnter = 13;
constexpr std::int16_t kBackspace = 8;
constexpr std::int16_t kEscape = 27;
} // namespace

QtTextBox::QtTextBox(QWidget* parent) : QLineEdit(parent) {}

std::string QtTextBox::text() const {
    return QLineEdit::text().toStdString();
}

void QtTextBox::setText(const std::string& text) {
    // Each poll reply sets the power it shows, mostly unchanged. QLineEdit would redo its layout,
    // tell screen readers the text changed and move the caret even then; the same text leaves the
    // box, and the caret or selection the user has in it, as they are.
    const QUtf8StringView shown(text.data(), static_cast<qsizetype>(text.size()));
    if (QAnyStringView::equal(shown, QLineEdit::text())) {
        return;
    }
    QLineEdit::setText(shown.toString());
}

void QtTextBox::setSelStart(int start) {
    // Setting the start drops any selection, and the caret stays inside the text.
    setCursorPosition(unitsForCharacters(std::max(start, 0)));
}

void QtTextBox::setSelLength(int length) {
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int units = unitsForCharacters(std::max(length, 0), start);
    setSelection(start, units);
}

int QtTextBox::unitsForCharacters(int characters, int fromUnit) const {
    const QString content = QLineEdit::text();
    int unit = std::clamp(fromUnit, 0, static_cast<int>(content.size()));
    for (int counted = 0; counted < characters && unit < content.size(); ++counted) {
        unit += content.at(unit).isHighSurrogate() && unit + 1 < content.size() ? 2 : 1;
    }
    return unit - fromUnit;
}

std::optional<std::int16_t> QtTextBox::keyAsciiFor(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kEnter;
    case Qt::Key_Backspace:
        return kBackspace;
    case Qt::Key_Escape:
        return kEscape;
    default:
        break;
    }
    const QString typed = event.text();
    if (typed.size() != 1 || typed.at(0).isSurrogate()) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(typed.at(0).unicode());
}

bool QtTextBox::isFocusMove(Qt::FocusReason reason) {
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason;
}

void QtTextBox::keyPressEvent(QKeyEvent* event) {
    const std::optional<std::int16_t> typed = keyAsciiFor(*event);
    if (!typed || !m_keyPress) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    std::int16_t keyAscii = *typed;
    m_keyPress(keyAscii);
    if (keyAscii == *typed) {
        QLineEdit::keyPressEvent(event);
    } else if (keyAscii == 0) {
        event->accept();
    } else {
        const QString replacement(QChar(static_cast<char16_t>(keyAscii)));
        QKeyEvent replaced(QEvent::KeyPress, Qt::Key_unknown, event->modifiers(), replacement);
        QLineEdit::keyPressEvent(&replaced);
    }
}

bool QtTextBox::event(QEvent* event) {
    // While the window was not active the focus may have moved on without a word to the box (a
    // click on another control only records where the focus is to go); it finds out when the
    // window becomes active again.
    if (event->type() == QEvent::WindowActivate && m_hasFocus && window()->focusWidget() != this) {
        loseFocus();
    }
    return QLineEdit::event(event);
}

void QtTextBox::mousePressEvent(QMouseEvent* event) {
    // The press of the click that brought the focus would put the caret where it landed and drop
    // the selection GotFocus made, so that typing would add to the shown power.
    const bool keepSelection = std::exchange(m_focusedByClick, false) && hasSelectedText();
    const int start = selectionStart();
    const int length = selectionLength();
    QLineEdit::mousePressEvent(event);
    if (keepSelection) {
        setSelection(start, length);
    }
}

void QtTextBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (!m_hasFocus) {
        m_hasFocus = true;
        m_focusedByClick = event->reason() == Qt::MouseFocusReason;
        emit gotFocus();
    }
}

void QtTextBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (m_hasFocus && isFocusMove(event->reason())) {
        loseFocus();
    }
}

void QtTextBox::loseFocus() {
    m_hasFocus = false;
    m_focusedByClick = false;
    emit lostFocus();
}

} // namespace quorvel
