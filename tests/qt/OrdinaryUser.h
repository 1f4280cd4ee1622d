#pragma once

// What the serial and settings tests share: catching a RunTimeError, a variable of the
// environment set for one test, and a run of the test program itself as an ordinary user, which
// is what shows permission failures while the suite runs as root.

#include "link/RunTimeError.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>

#include <unistd.h>

namespace quorvel::testing {

struct Failure {
    int number = 0;
    QString description;
};

inline Failure failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const RunTimeError& e) {
        return {e.number(), QString::fromStdString(e.description())};
    }
    return {};
}

// A helper mode prints the failure as "<number> <description>"; 0 when there was none.
inline void printFailure(const Failure& failure) {
    std::printf("%d %s\n", failure.number, qPrintable(failure.description));
}

inline Failure parseFailure(const QString& line) {
    return {line.section(u' ', 0, 0).toInt(), line.section(u' ', 1)};
}

inline bool isRoot() {
    return ::geteuid() == 0;
}

// This test program, run for test class `test` with the arguments of one of its helper modes as
// user nobody; what the helper printed, or the reason it could not run.
inline QString runAsNobody(const char* test, const QStringList& helperArguments) {
    QProcess helper;
    helper.start(QStringLiteral("setpriv"),
                 QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                             QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                             QString::fromLatin1(test)} +
                     helperArguments);
    if (!helper.waitForFinished(30000) || helper.exitCode() != 0) {
        return QStringLiteral("helper failed: ") + QString::fromLocal8Bit(helper.readAllStandardError());
    }
    return QString::fromLocal8Bit(helper.readAllStandardOutput()).trimmed();
}

// Sets a variable (a null text unsets it) for one test and puts the old value back afterwards.
class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const QString& value) : m_name(name), m_saved(qgetenv(name)) {
        set(value.isNull() ? QByteArray() : value.toLocal8Bit());
    }
    ~EnvironmentVariable() { set(m_saved); }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    void set(const QByteArray& value) const {
        if (value.isNull()) {
            qunsetenv(m_name);
        } else {
            qputenv(m_name, value);
        }
    }
    const char* m_name;
    QByteArray m_saved;
};

} // namespace quorvel::testing
