#pragma once

#include "link/PortRules.h"

#include <QString>
#include <QStringList>

namespace quorvel {

// What the command line asks for. Reading it touches nothing: no settings, no port, no display.
struct CommandLine {
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    bool trace = false;
    QString radio; // --radio: the route for this run, checked; empty without the option
    QString error; // with Refuse: what was wrong, one line
};

// The arguments after the program's name. An unknown option or any argument that is not an
// option is refused: the window is never opened on a command line the program did not understand.
CommandLine parseCommandLine(const QStringList& arguments);

// What the program is, its options, and where its settings file and port links are.
QString usageText(const QString& settingsFile, const PortSearchDirs& portDirs);

// "Quorvel 1.0.2".
QString versionText();

// Turns on the serial line's trace, the "quorvel.cat" logging category, and stamps each message
// with the time. QT_LOGGING_RULES and QT_MESSAGE_PATTERN still have the last word.
void enableTrace();

} // namespace quorvel
