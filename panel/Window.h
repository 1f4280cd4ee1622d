#pragma once

namespace quorvel {

// The main window's frame. Positions are in twips (1/1440 inch) and may be fractional.
class Window {
public:
    virtual ~Window() = default;
    virtual double left() const = 0;
    virtual double top() const = 0;
    virtual void setLeft(double twips) = 0;
    virtual void setTop(double twips) = 0;
    // Ends the program at once; no further handler runs.
    virtual void endProgram() = 0;
};

} // namespace quorvel
