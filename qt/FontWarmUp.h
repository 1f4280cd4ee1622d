#pragma once

#include <thread>

namespace quorvel {

// Fontconfig reads its configuration and font caches the first time a font is asked for: a third
// of the processor time before the window shows, and nothing in it needs the display. A FontWarmUp
// has a second thread do that reading while Qt connects to the display; finish() waits for it, and
// is to be called before the first font is asked for (else both would read it, each for itself).
//
// Made before Qt starts (and after StopSignals, whose mask the thread takes over). It keeps the
// program to one malloc arena and moves the two variables Qt takes out of the environment during
// its start to the environment's end; see the source for why.
class FontWarmUp {
public:
    FontWarmUp();
    ~FontWarmUp() { finish(); }
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

    void finish();

private:
    std::thread m_thread;
};

// The variables Qt unsets while it connects to the display, in the order moved to the end.
inline constexpr const char* kVariablesQtUnsets[] = {"DESKTOP_STARTUP_ID", "XDG_ACTIVATION_TOKEN"};

} // namespace quorvel
