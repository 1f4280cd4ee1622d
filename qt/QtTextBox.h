#pragma once

#include "panel/TextBox.h"

#include <QLineEdit>

#include <cstdint>
#include <functional>
#include <optional>

class QKeyEvent;
class QMouseEvent;

namespace quorvel {

// The power box. Besides text and selection it reports three events: focus gained and lost when
// the user (or a handler) moves the focus, and each key that types a character, whose code the
// window may change (0 swallows the key). Focus gained is reported whenever the focus arrives in
// the box from elsewhere, however Qt names the reason: a click into a window that was not active
// brings the focus only with the window's activation.
class QtTextBox : public QLineEdit, public TextBox {
    Q_OBJECT
public:
    using KeyPressHandler = std::function<void(std::int16_t& keyAscii)>;

    explicit QtTextBox(QWidget* parent = nullptr);

    std::string text() const override;
    void setText(const std::string& text) override;
    void setSelStart(int start) override;
    void setSelLength(int length) override;

    void setKeyPressHandler(KeyPressHandler handler) { m_keyPress = std::move(handler); }

    // The character code a key types, as the classic KeyPress event carried it: Enter (either
    // key) is 13, Backspace 8, Escape 27, any other key its character; none for keys that type no
    // character (arrows, function keys, Delete).
    static std::optional<std::int16_t> keyAsciiFor(const QKeyEvent& event);
    // Whether losing the focus counts as the box's LostFocus. A window being deactivated, a menu or
    // a popup opening, never did: the focus stays where it was inside the window.
    static bool isFocusMove(Qt::FocusReason reason);

signals:
    void gotFocus();
    void lostFocus();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void loseFocus();

    // The box counts characters; QLineEdit counts UTF-16 units.
    int unitsForCharacters(int characters, int fromUnit = 0) const;

    KeyPressHandler m_keyPress;
    // The box holds the focus as far as the handlers know: from its GotFocus to its LostFocus,
    // across the window losing and regaining its activation.
    bool m_hasFocus = false;
    // A click brought the focus, and its press has yet to reach the box.
    bool m_focusedByClick = false;
};

} // namespace quorvel
