#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

namespace quorvel {

// Qt ends a program whose platform plugin it cannot find or load with an abort (status 134), after
// a warning or two and a hint to reinstall the program. While a PlatformStart watches the
// QApplication being made, that end is one line on standard error naming the platform asked for,
// and status 1, as for a display that cannot be reached. The platform plugin's warnings meanwhile
// are held back, and passed on if the platform starts after all (Qt may fall back to the next in
// a list such as "wayland;xcb").
class PlatformStart {
public:
    // platform: what QT_QPA_PLATFORM asks for (empty for Qt's default).
    explicit PlatformStart(QString platform);
    ~PlatformStart();
    PlatformStart(const PlatformStart&) = delete;
    PlatformStart& operator=(const PlatformStart&) = delete;

    // The platform has started: the held warnings go on, and messages take their usual way again.
    void started();

private:
    struct Held {
        QtMsgType type;
        const char* category;
        QString message;
    };
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message);

    // The handler Qt calls is a plain function; the watch in force is the one it reports to.
    static inline PlatformStart* s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    QString m_platform;
    std::vector<Held> m_held;
};

} // namespace quorvel
