#include "qt/QtSettingsStore.h"

#include "link/RunTimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>

namespace quorvel {

// The file is read and written here rather than through QSettings, for two traps of QSettings:
// its INI parser turns a hand-typed "1,2" into a list and "@Variant(...)" or "@Rect(...)" into
// typed values, which come back as empty texts and are rewritten changed at the next save of any
// other key; and a save that fails stays queued in its process-wide cache and lands unannounced
// with the next save that succeeds. Here a save rewrites only its own line and leaves every other
// line of the file, comments included, as it was.

namespace {

// How long a save waits for another instance of the program that is saving at the same moment.
constexpr auto kLockWait = std::chrono::milliseconds{2000};

// Quotes only what would not survive being read back: blanks at either end (reading trims them),
// a leading quote (reading would take it for quoting) and control characters (line breaks).
bool needsQuotes(const QString& value) {
    if (value.isEmpty()) {
        return false;
    }
    if (value.front().isSpace() || value.back().isSpace() || value.front() == u'"') {
        return true;
    }
    return std::any_of(value.cbegin(), value.cend(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

QString quoted(const QString& value) {
    QString text = QStringLiteral("\"");
    for (const QChar c : value) {
        if (c == u'"' || c == u'\\') {
            text += u'\\';
            text += c;
        } else if (c == u'\n') {
            text += QStringLiteral("\\n");
        } else if (c == u'\r') {
            text += QStringLiteral("\\r");
        } else if (c == u'\t') {
            text += QStringLiteral("\\t");
        } else if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            text += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            text += c;
        }
    }
    return text + u'"';
}

QString unquoted(QStringView text) {
    QString value;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\\' || i + 1 == text.size()) {
            value += c;
            continue;
        }
        const QChar next = text[++i];
        bool ok = false;
        const ushort code = next == u'x' ? text.mid(i + 1, 2).toUShort(&ok, 16) : 0;
        if (next == u'n') {
            value += u'\n';
        } else if (next == u'r') {
            value += u'\r';
        } else if (next == u't') {
            value += u'\t';
        } else if (ok && i + 2 < text.size()) {
            value += QChar(code);
            i += 2;
        } else {
            value += next;
        }
    }
    return value;
}

QString valueText(QStringView raw) {
    if (raw.size() >= 2 && raw.front() == u'"' && raw.back() == u'"') {
        return unquoted(raw.sliced(1, raw.size() - 2));
    }
    return raw.toString();
}

// One line of the file as it stands, with the section it belongs to and, for a "key=value" line,
// its key and the text after "=".
struct IniLine {
    QString text;
    QString section;
    QString key;
    QString rawValue;
    bool isHeader = false;
};

struct IniFile {
    std::vector<IniLine> lines;
    bool crlf = false;
};

IniFile parse(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    // A file saved by a Latin-1 editor: keep its characters instead of turning them into
    // replacement marks.
    if (utf8.hasError()) {
        text = QString::fromLatin1(bytes);
    }
    IniFile file;
    if (text.isEmpty()) {
        return file;
    }
    if (text.endsWith(u'\n')) {
        text.chop(1);
    }
    QString section;
    for (QString line : text.split(u'\n')) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
            file.crlf = true;
        }
        IniLine entry{line, section, {}, {}, false};
        const QStringView trimmed = QStringView(line).trimmed();
        if (trimmed.startsWith(u'[')) {
            const qsizetype end = trimmed.lastIndexOf(u']');
            section = trimmed.sliced(1, (end < 0 ? trimmed.size() : end) - 1).trimmed().toString();
            entry.section = section;
            entry.isHeader = true;
        } else if (!trimmed.startsWith(u';') && !trimmed.startsWith(u'#')) {
            const qsizetype equals = trimmed.indexOf(u'=');
            if (equals > 0) {
                entry.key = trimmed.first(equals).trimmed().toString();
                entry.rawValue = trimmed.sliced(equals + 1).trimmed().toString();
            }
        }
        file.lines.push_back(std::move(entry));
    }
    return file;
}

QByteArray render(const IniFile& file) {
    QString text;
    for (const IniLine& line : file.lines) {
        text += line.text + (file.crlf ? QStringLiteral("\r\n") : QStringLiteral("\n"));
    }
    return text.toUtf8();
}

// The line a key is read from: a key written twice counts with its last value.
std::optional<std::size_t> lineOfKey(const IniFile& file, const QString& section, const QString& key) {
    for (std::size_t i = file.lines.size(); i-- > 0;) {
        if (!file.lines[i].key.isEmpty() && file.lines[i].section == section && file.lines[i].key == key) {
            return i;
        }
    }
    return std::nullopt;
}

void setValue(IniFile& file, const QString& section, const QString& key, const QString& value) {
    const QString text = key + u'=' + (needsQuotes(value) ? quoted(value) : value);
    if (const auto at = lineOfKey(file, section, key)) {
        file.lines[*at].text = text;
        return;
    }
    IniLine line{text, section, key, {}, false};
    for (std::size_t i = file.lines.size(); i-- > 0;) {
        if (file.lines[i].section == section && (file.lines[i].isHeader || !file.lines[i].key.isEmpty())) {
            file.lines.insert(file.lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(line));
            return;
        }
    }
    if (!file.lines.empty() && !file.lines.back().text.trimmed().isEmpty()) {
        file.lines.push_back(IniLine{});
    }
    file.lines.push_back(IniLine{u'[' + section + u']', section, {}, {}, true});
    file.lines.push_back(std::move(line));
}

// Names the file cannot hold as written: "/" or "\" would leave the folder or nest, the others
// would break the line or the section header they stand in.
void checkName(const std::string& name) {
    const QString text = QString::fromStdString(name);
    const bool bad = text.isEmpty() || text.trimmed() != text || text == u"." || text == u".." ||
                     std::any_of(text.cbegin(), text.cend(), [](QChar c) {
                         return c == u'/' || c == u'\\' || c == u'=' || c == u'[' || c == u']' || c.unicode() < 0x20;
                     });
    if (bad) {
        throw RunTimeError(err::kInvalidProcedureCall, "Invalid procedure call or argument: \"" + name +
                                                           "\" cannot name a settings application, section or key");
    }
}

[[noreturn]] void failAccess(const QString& what, const QString& filePath) {
    throw RunTimeError(
        err::kFileAccess,
        QStringLiteral("Path/File access error: %1 %2").arg(what, QDir::toNativeSeparators(filePath)).toStdString());
}

// The file as it stands; an empty one when it does not exist yet.
IniFile load(const QString& filePath) {
    if (!QFileInfo::exists(filePath)) {
        return {};
    }
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        failAccess(QStringLiteral("cannot read"), filePath);
    }
    return parse(file.readAll());
}

} // namespace

QString QtSettingsStore::defaultConfigFolder() {
#ifdef Q_OS_WIN
    return qEnvironmentVariable("APPDATA");
#else
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    return xdg.startsWith(u'/') ? xdg : QDir::homePath() + QStringLiteral("/.config");
#endif
}

QtSettingsStore::QtSettingsStore(QString configFolder) : m_configFolder(std::move(configFolder)) {}

QString QtSettingsStore::filePathFor(const std::string& appName) const {
    const QString app = QString::fromStdString(appName);
    return m_configFolder + u'/' + app + u'/' + app + QStringLiteral(".conf");
}

std::string QtSettingsStore::getSetting(const std::string& appName, const std::string& section, const std::string& key,
                                        const std::string& defaultValue) {
    checkName(appName);
    checkName(section);
    checkName(key);
    // A file that exists but cannot be read is refused rather than read as empty: the defaults
    // would then be taken, and saved over the operator's values by the start-up write-back.
    const IniFile file = load(filePathFor(appName));
    const auto at = lineOfKey(file, QString::fromStdString(section), QString::fromStdString(key));
    return at ? valueText(file.lines[*at].rawValue).toStdString() : defaultValue;
}

void QtSettingsStore::saveSetting(const std::string& appName, const std::string& section, const std::string& key,
                                  const std::string& value) {
    checkName(appName);
    checkName(section);
    checkName(key);
    const QString filePath = filePathFor(appName);
    if (!QDir().mkpath(QFileInfo(filePath).absolutePath())) {
        failAccess(QStringLiteral("cannot create the folder of"), filePath);
    }
    // Two instances saving at once would otherwise each write back the file without the
    // other's change.
    QLockFile lock(filePath + QStringLiteral(".lock"));
    if (!lock.tryLock(static_cast<int>(kLockWait.count()))) {
        failAccess(QStringLiteral("cannot lock"), filePath);
    }
    IniFile file = load(filePath);
    setValue(file, QString::fromStdString(section), QString::fromStdString(key), QString::fromStdString(value));
    // Written beside the old file and renamed over it, so a failure never leaves half a file.
    QSaveFile out(filePath);
    const QByteArray bytes = render(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        failAccess(QStringLiteral("cannot save to"), filePath);
    }
}

} // namespace quorvel
