#include "qt/QtSettingsStore.h"

#include "link/RunTimeError.h"
#include "link/UserFolders.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStringDecoder>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

constexpr QByteArrayView kUtf8Mark = "\xEF\xBB\xBF";

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

// The value of a "key=value" line. A line saved by a Latin-1 editor keeps its characters instead
// of turning them into replacement marks; the bytes in the file stay as they are either way.
QString valueText(const QByteArray& raw) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(raw);
    if (utf8.hasError()) {
        text = QString::fromLatin1(raw);
    }
    if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') {
        return unquoted(QStringView(text).sliced(1, text.size() - 2));
    }
    return text;
}

QByteArray lineFor(const QByteArray& key, const QString& value) {
    return key + '=' + (needsQuotes(value) ? quoted(value) : value).toUtf8();
}

ini::File parse(QByteArray bytes) {
    ini::File file;
    QByteArray section;
    qsizetype pos = bytes.startsWith(kUtf8Mark) ? kUtf8Mark.size() : 0;
    while (pos < bytes.size()) {
        const qsizetype lineBreak = bytes.indexOf('\n', pos);
        const qsizetype next = lineBreak < 0 ? bytes.size() : lineBreak + 1;
        qsizetype end = lineBreak < 0 ? bytes.size() : lineBreak;
        if (end > pos && bytes[end - 1] == '\r') {
            --end;
        }
        const QByteArrayView trimmed = QByteArrayView(bytes).sliced(pos, end - pos).trimmed();
        if (trimmed.startsWith('[')) {
            const qsizetype close = trimmed.lastIndexOf(']');
            section = trimmed.sliced(1, (close < 0 ? trimmed.size() : close) - 1).trimmed().toByteArray();
            file.entries.push_back(ini::Entry{pos, end, next, section, {}, {}});
        } else if (!trimmed.startsWith(';') && !trimmed.startsWith('#')) {
            const qsizetype equals = trimmed.indexOf('=');
            if (equals > 0) {
                file.entries.push_back(ini::Entry{pos, end, next, section,
                                                  trimmed.first(equals).trimmed().toByteArray(),
                                                  trimmed.sliced(equals + 1).trimmed().toByteArray()});
            }
        }
        pos = next;
    }
    file.bytes = std::move(bytes);
    return file;
}

// The line a key is read from: a key written twice counts with its last value.
const ini::Entry* entryOfKey(const ini::File& file, const QByteArray& section, const QByteArray& key) {
    const auto found = std::find_if(file.entries.rbegin(), file.entries.rend(), [&](const ini::Entry& entry) {
        return !entry.key.isEmpty() && entry.section == section && entry.key == key;
    });
    return found == file.entries.rend() ? nullptr : &*found;
}

bool holds(const ini::File& file, const QByteArray& section, const QByteArray& key, const QString& value) {
    const ini::Entry* entry = entryOfKey(file, section, key);
    return entry != nullptr && valueText(entry->rawValue) == value;
}

// New lines end as the file's first line does.
QByteArray lineBreakOf(const QByteArray& bytes) {
    const qsizetype at = bytes.indexOf('\n');
    return at > 0 && bytes[at - 1] == '\r' ? QByteArray("\r\n") : QByteArray("\n");
}

bool lastLineIsBlank(const QByteArray& bytes) {
    QByteArrayView text(bytes);
    if (text.endsWith('\n')) {
        text.chop(1);
    }
    return text.sliced(text.lastIndexOf('\n') + 1).trimmed().isEmpty();
}

// The file's bytes with the key's line set: replaced where the key is read from, else added after
// the last line of its section, else in a new section at the end.
QByteArray withLine(const ini::File& file, const QByteArray& section, const QByteArray& key, const QByteArray& line) {
    QByteArray bytes = file.bytes;
    if (const ini::Entry* entry = entryOfKey(file, section, key)) {
        return bytes.replace(entry->begin, entry->end - entry->begin, line);
    }
    const QByteArray lineBreak = lineBreakOf(bytes);
    const bool brokenOff = bytes.isEmpty() || bytes.endsWith('\n');
    const auto last = std::find_if(file.entries.rbegin(), file.entries.rend(),
                                   [&](const ini::Entry& entry) { return entry.section == section; });
    if (last != file.entries.rend()) {
        const bool atTheEnd = last->next == bytes.size();
        return bytes.insert(last->next, (atTheEnd && !brokenOff ? lineBreak : QByteArray()) + line + lineBreak);
    }
    if (!brokenOff) {
        bytes += lineBreak;
    }
    if (!lastLineIsBlank(bytes)) {
        bytes += lineBreak;
    }
    return bytes + '[' + section + ']' + lineBreak + line + lineBreak;
}

// Names the file cannot hold as written: "/" or "\" would leave the folder or nest, the others
// would break the line or the section header they stand in, and a key that starts as a comment
// does would be saved as one.
void checkName(const std::string& name, bool isKey = false) {
    const QString text = QString::fromStdString(name);
    const bool bad = text.isEmpty() || text.trimmed() != text || text == u"." || text == u".." ||
                     (isKey && (text.front() == u';' || text.front() == u'#')) ||
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

[[noreturn]] void failTooLarge(const QString& filePath, qint64 size) {
    throw RunTimeError(err::kFileAccess, QStringLiteral("Path/File access error: %1 is too large for a settings file "
                                                        "(%2 bytes, at most %3); it is neither read nor written")
                                             .arg(QDir::toNativeSeparators(filePath))
                                             .arg(size)
                                             .arg(QtSettingsStore::kMaxFileSize)
                                             .toStdString());
}

std::filesystem::path fsPath(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// How the file stands on the disk; nothing when it cannot be told (a folder on the way that may
// not be entered, for one), which is not the same as a file that does not exist.
std::optional<ini::FileStamp> stampOf(const QString& filePath) {
#ifdef Q_OS_WIN
    const QFileInfo info(filePath);
    if (!info.exists()) {
        return ini::FileStamp{};
    }
    return ini::FileStamp{true,
                          info.size(),
                          info.lastModified().toMSecsSinceEpoch() * 1'000'000,
                          info.metadataChangeTime().toMSecsSinceEpoch() * 1'000'000,
                          0,
                          0};
#else
    struct stat info {};
    if (::stat(QFile::encodeName(filePath).constData(), &info) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? std::optional(ini::FileStamp{}) : std::nullopt;
    }
    constexpr std::int64_t kNanosecond = 1'000'000'000;
    return ini::FileStamp{true,
                          static_cast<std::int64_t>(info.st_size),
                          info.st_mtim.tv_sec * kNanosecond + info.st_mtim.tv_nsec,
                          info.st_ctim.tv_sec * kNanosecond + info.st_ctim.tv_nsec,
                          static_cast<std::uint64_t>(info.st_dev),
                          static_cast<std::uint64_t>(info.st_ino)};
#endif
}

// A file too large to be settings is refused before it is read: reading it whole would take
// memory and time out of all proportion, and saving would rewrite all of it.
QByteArray contentsOf(const QString& filePath, const ini::FileStamp& stamp) {
    if (stamp.size > QtSettingsStore::kMaxFileSize) {
        failTooLarge(filePath, stamp.size);
    }
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        failAccess(QStringLiteral("cannot read"), filePath);
    }
    // What the file held when looked at and a byte more: only a file that grew since, or a device
    // that never ends, has the rest read, up to the limit. (A read of the limit itself would take
    // a buffer of that size for a file of a few lines.)
    QByteArray bytes = file.read(stamp.size + 1);
    if (bytes.size() > stamp.size && file.error() == QFileDevice::NoError) {
        bytes += file.read(QtSettingsStore::kMaxFileSize + 1 - bytes.size());
    }
    if (file.error() != QFileDevice::NoError) {
        failAccess(QStringLiteral("cannot read"), filePath);
    }
    if (bytes.size() > QtSettingsStore::kMaxFileSize) {
        failTooLarge(filePath, std::max(file.size(), static_cast<qint64>(bytes.size())));
    }
    return bytes;
}

bool flushToDisk(QFile& file) {
    if (!file.flush()) {
        return false;
    }
#ifdef Q_OS_WIN
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()))) != 0;
#else
    return ::fdatasync(file.handle()) == 0;
#endif
}

// The file a save replaces: a settings file linked from elsewhere (a dotfiles folder) stays a
// link to the file it names.
QString targetOf(const QString& filePath) {
    const QFileInfo info(filePath);
    if (!info.isSymLink()) {
        return filePath;
    }
    return info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
}

// The temporary file a save writes before it is renamed over the settings file.
QString temporaryFor(const QString& filePath) {
    return targetOf(filePath) + QStringLiteral(".saving");
}

// A file the user took the write permission from is left alone. A save by rename would replace
// it all the same, since only the folder's permission counts for that. The permission bits
// decide, not only the system's answer, which lets root write anything.
bool isReadOnly(const QString& target) {
    const QFileInfo info(target);
    return info.exists() && info.isFile() && (!info.permissions().testFlag(QFile::WriteOwner) || !info.isWritable());
}

// For a file that a new one in its place would not be the same as: one with other names (hard
// links), which would keep the old contents, or one whose owner or group a new file could not
// be given. Not safe from a crash half-way as the rename is, so taken only then.
void writeInPlace(const QString& filePath, const QString& target, const QByteArray& bytes) {
    QFile::remove(temporaryFor(filePath));
    QFile out(target);
    // Truncated after the write, not before: a write that fails leaves the old text, or most of it.
    const bool written = out.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) && out.write(bytes) == bytes.size() &&
                         out.resize(bytes.size()) && flushToDisk(out);
    if (!written) {
        failAccess(QStringLiteral("cannot save to"), filePath);
    }
}

// The file written beside the old one and renamed over it, so a failure never leaves half a file.
// The new file gets the old one's owner, group and mode. The temporary file has one fixed name
// rather than QSaveFile's random one: a save killed half-way leaves it behind, and the next save,
// under the same lock, takes it over instead of leaving one more to pile up.
void replaceContents(const QString& filePath, const QByteArray& bytes) {
    const QString target = targetOf(filePath);
    const QString temporary = temporaryFor(filePath);
#ifdef Q_OS_WIN
    const QFileInfo info(target);
    QFile::remove(temporary);
    QFile out(temporary);
    const bool written = out.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
                         (!info.exists() || out.setPermissions(info.permissions())) &&
                         out.write(bytes) == bytes.size() && flushToDisk(out);
#else
    struct stat info {};
    const bool exists = ::stat(QFile::encodeName(target).constData(), &info) == 0;
    if (exists && info.st_nlink > 1) {
        writeInPlace(filePath, target, bytes);
        return;
    }
    QFile::remove(temporary);
    QFile out(temporary);
    bool written = out.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    if (written && exists) {
        if (::fchown(out.handle(), info.st_uid, info.st_gid) != 0) {
            out.close();
            writeInPlace(filePath, target, bytes);
            return;
        }
        written = ::fchmod(out.handle(), info.st_mode & 0777) == 0;
    }
    written = written && out.write(bytes) == bytes.size() && flushToDisk(out);
#endif
    out.close();
    std::error_code renameError;
    if (written) {
        std::filesystem::rename(fsPath(temporary), fsPath(target), renameError);
    }
    if (!written || renameError) {
        QFile::remove(temporary);
        failAccess(QStringLiteral("cannot save to"), filePath);
    }
}

} // namespace

QString QtSettingsStore::defaultConfigFolder() {
#ifdef Q_OS_WIN
    return qEnvironmentVariable("APPDATA");
#else
    return QFile::decodeName(QByteArray::fromStdString(userFolders().config));
#endif
}

QtSettingsStore::QtSettingsStore(QString configFolder) : m_configFolder(std::move(configFolder)) {}

QString QtSettingsStore::filePathFor(const std::string& appName) const {
    const QString app = QString::fromStdString(appName);
    return m_configFolder + u'/' + app + u'/' + app + QStringLiteral(".conf");
}

const ini::File& QtSettingsStore::current(const QString& filePath) {
    const std::optional<ini::FileStamp> stamp = stampOf(filePath);
    // A file that cannot be looked at is refused rather than read as empty: the defaults would
    // then be taken, and saved over the operator's values by the start-up write-back.
    if (!stamp) {
        failAccess(QStringLiteral("cannot read"), filePath);
    }
    const auto kept = m_kept.constFind(filePath);
    if (kept != m_kept.cend() && kept->stamp == *stamp) {
        return kept->file;
    }
    ini::File file = stamp->exists ? parse(contentsOf(filePath, *stamp)) : ini::File{};
    return m_kept.insert(filePath, ini::Kept{*stamp, std::move(file)})->file;
}

std::string QtSettingsStore::getSetting(const std::string& appName, const std::string& section, const std::string& key,
                                        const std::string& defaultValue) {
    checkName(appName);
    checkName(section);
    checkName(key, true);
    // With no folder to keep settings in there is nothing to read; a save says why.
    if (m_configFolder.isEmpty()) {
        return defaultValue;
    }
    const ini::Entry* entry =
        entryOfKey(current(filePathFor(appName)), QByteArray::fromStdString(section), QByteArray::fromStdString(key));
    return entry != nullptr ? valueText(entry->rawValue).toStdString() : defaultValue;
}

void QtSettingsStore::saveSetting(const std::string& appName, const std::string& section, const std::string& key,
                                  const std::string& value) {
    checkName(appName);
    checkName(section);
    checkName(key, true);
    const QString filePath = filePathFor(appName);
    if (m_configFolder.isEmpty()) {
        throw RunTimeError(err::kFileAccess, "Path/File access error: there is no folder to keep settings in "
                                             "(neither HOME nor XDG_CONFIG_HOME is set, and the account has no home)");
    }
    const QByteArray sectionName = QByteArray::fromStdString(section);
    const QByteArray keyName = QByteArray::fromStdString(key);
    const QString text = QString::fromStdString(value);
    // Saving what the file already holds writes nothing: start-up saves back what it has just
    // read, and a lock, a temporary file, a flush to the disk and a rename for nothing would make
    // every start wait on the disk. A temporary file left by a killed save still gets cleaned up.
    if (holds(current(filePath), sectionName, keyName, text) && !QFileInfo::exists(temporaryFor(filePath))) {
        return;
    }
    if (isReadOnly(targetOf(filePath))) {
        throw RunTimeError(err::kFileAccess,
                           QStringLiteral("Path/File access error: %1 is read-only, so nothing is saved to it; allow "
                                          "writing to it to keep settings")
                               .arg(QDir::toNativeSeparators(filePath))
                               .toStdString());
    }
    if (!QDir().mkpath(QFileInfo(filePath).absolutePath())) {
        failAccess(QStringLiteral("cannot create the folder of"), filePath);
    }
    // Two instances saving at once would otherwise each write back the file without the
    // other's change.
    QLockFile lock(filePath + QStringLiteral(".lock"));
    if (!lock.tryLock(static_cast<int>(kLockWait.count()))) {
        failAccess(QStringLiteral("cannot lock"), filePath);
    }
    const ini::File& file = current(filePath);
    if (holds(file, sectionName, keyName, text)) {
        QFile::remove(temporaryFor(filePath));
        return;
    }
    QByteArray bytes = withLine(file, sectionName, keyName, lineFor(keyName, text));
    replaceContents(filePath, bytes);
    const std::optional<ini::FileStamp> stamp = stampOf(filePath);
    if (stamp) {
        m_kept.insert(filePath, ini::Kept{*stamp, parse(std::move(bytes))});
    } else {
        m_kept.remove(filePath);
    }
}

} // namespace quorvel
