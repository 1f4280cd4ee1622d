#pragma once

#include "panel/TextBox.h"

#include <QLineEdit>

#include <cstdint>
#include <functional>
#include <optional>

class QKeyEvent;

namespace quorvel {

// The power box. Besides text and selection it reports three events: focus gained and lost when
// the user (or a handler) moves the focus, and each key that types a character, whose code the
// window may change (0 swallows the key).
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
    // Whether a focus change counts as the box's GotFocus/LostFocus. A window being activated or
    // deactivated, a menu or a popup opening, never did: the focus stays where it was inside the
    // window.
    static bool isFocusMove(Qt::FocusReason reason);

signals:
    void gotFocus();
    void lostFocus();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The box counts characters; QLineEdit counts UTF-16 units.
    int unitsForCharacters(int characters, int fromUnit = 0) const;

    KeyPressHandler m_keyPress;
};

} // namespace quorvel
