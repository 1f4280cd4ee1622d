#pragma once

#include "app/SettingsStore.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstdint>
#include <vector>

namespace quorvel {

namespace ini {

// What tells a file on the disk from the one read before it.
struct FileStamp {
    bool exists = false;
    std::int64_t size = 0;
    std::int64_t modified = 0; // ns
    std::int64_t changed = 0;  // ns
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;
};

// A section header or a "key=value" line of the file: where it stands in the file's bytes (its
// line break excluded), the section it belongs to and, for a key, the key and the text after "=".
struct Entry {
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype next = 0; // where the next line begins
    QByteArray section;
    QByteArray key; // empty for a header
    QByteArray rawValue;
};

struct File {
    QByteArray bytes;
    std::vector<Entry> entries;
};

struct Kept {
    FileStamp stamp;
    File file;
};

} // namespace ini

// The settings store as INI files: application A's section S is the group [S] of
// <configFolder>/A/A.conf, so the program's own values live in [settings] of
// <configFolder>/Quorvel/Quorvel.conf. Keys are case-sensitive.
//
// Every value is text and comes back exactly as saved; a value typed into the file by hand comes
// back as written (blanks around it trimmed), commas and a leading "@" included. A save changes
// only its own line and leaves every other byte of the file as it was (comments, line ends, bytes
// that are not UTF-8); a save of the value the file already holds writes nothing. A save is on
// the disk before the call returns. The file keeps its owner, group and mode, and a file with
// other names (hard links) stays one file under all of them.
//
// The file is read once and kept; it is read again only when it changed on the disk (another
// instance saved, or the user edited it).
//
// Failures are RunTimeError 75 "Path/File access error" naming the file: a save that does not
// reach the disk, a save that would change a read-only file (one without its owner's write
// permission, even for root), a get from a file that exists but cannot be read, and any use of a
// file larger than kMaxFileSize, which is neither read nor written. A missing file or key is no
// error: the get returns its default. A name the file cannot hold (empty, with "/", "=", "[",
// "]", blanks at either end, a key that starts as a comment does) is error 5.
class QtSettingsStore : public SettingsStore {
public:
    static constexpr qint64 kMaxFileSize = qint64{1024} * 1024;

    // The user's configuration folder (see link/UserFolders.h); on Windows the roaming application
    // data folder.
    static QString defaultConfigFolder();

    explicit QtSettingsStore(QString configFolder);

    std::string getSetting(const std::string& appName, const std::string& section, const std::string& key,
                           const std::string& defaultValue) override;
    void saveSetting(const std::string& appName, const std::string& section, const std::string& key,
                     const std::string& value) override;

    // The file that holds the application's sections.
    QString filePathFor(const std::string& appName) const;

private:
    // The file as it is on the disk now, from memory when it has not changed since it was read.
    const ini::File& current(const QString& filePath);

    QString m_configFolder;
    QHash<QString, ini::Kept> m_kept;
};

} // namespace quorvel
