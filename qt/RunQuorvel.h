#pragma once

namespace quorvel {

// The program: the window with its real serial port, settings file and clock; start-up before the
// window is shown, then the event loop until Exit or the window is closed.
int runQuorvel(int argc, char** argv);

} // namespace quorvel
