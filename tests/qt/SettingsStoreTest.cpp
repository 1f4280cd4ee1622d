// The settings store on real files in a temporary config folder.

#include "link/RunTimeError.h"
#include "qt/QtSerialComm.h"
#include "qt/QtSettingsStore.h"
#include "tests/qt/OrdinaryUser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using quorvel::QtSerialComm;
using quorvel::QtSettingsStore;
using quorvel::RunTimeError;
namespace err = quorvel::err;
using quorvel::testing::EnvironmentVariable;
using quorvel::testing::Failure;
using quorvel::testing::failureOf;
using quorvel::testing::isRoot;

namespace {

const char* const kSaveHelper = "--save-as-helper";
// The ids of user nobody and group nogroup, which the helper runs as.
constexpr uid_t kNobody = 65534;

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

QString accountHome() {
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr ? QFile::decodeName(entry->pw_dir) : QString();
}

struct stat statOf(const QString& path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

std::optional<gid_t> anotherGroupOfMine() {
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    groups.resize(static_cast<std::size_t>(std::max(::getgroups(static_cast<int>(groups.size()), groups.data()), 0)));
    for (const gid_t group : groups) {
        if (group != ::getegid()) {
            return group;
        }
    }
    return std::nullopt;
}

bool sameFileUnchanged(const struct stat& before, const struct stat& after) {
    return before.st_ino == after.st_ino && before.st_size == after.st_size &&
           before.st_mtim.tv_sec == after.st_mtim.tv_sec && before.st_mtim.tv_nsec == after.st_mtim.tv_nsec;
}

// The helper mode: save one value into <config folder> and print what came of it, so that a
// test running as root can see what an ordinary user gets.
int runSaveHelper(const QString& configFolder, const std::string& key, const std::string& value) {
    QtSettingsStore store(configFolder);
    const Failure failure = failureOf([&] { store.saveSetting("Quorvel", "settings", key, value); });
    quorvel::testing::printFailure(failure);
    return 0;
}

} // namespace

class SettingsStoreTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_folder;

    QString folder() const { return m_folder->path(); }
    QString programFile() const { return folder() + QStringLiteral("/Quorvel/Quorvel.conf"); }

private slots:
    void init() {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
    }

    void cleanup() {
        // A folder a test made read-only could not be removed.
        ::chmod(QFile::encodeName(folder() + QStringLiteral("/Quorvel")).constData(), 0755);
        m_folder.reset();
    }

    void absentValuesGiveTheirDefaults_data() {
        QTest::addColumn<QByteArray>("file"); // contents of Quorvel.conf; null for no file
        QTest::addColumn<QString>("key");
        QTest::newRow("no file") << QByteArray() << "port";
        QTest::newRow("another section only") << QByteArray("[other]\nport=3\n") << "port";
        QTest::newRow("the key outside any section") << QByteArray("port=3\n[settings]\npoll=0\n") << "port";
        QTest::newRow("key in another case") << QByteArray("[settings]\nformleft=1440\n") << "FormLeft";
        QTest::newRow("commented out") << QByteArray("[settings]\n;polltime=700\n#polltime=800\n") << "polltime";
    }
    void absentValuesGiveTheirDefaults() {
        QFETCH(QByteArray, file);
        QFETCH(QString, key);
        if (!file.isNull()) {
            QVERIFY(writeFile(programFile(), file));
        }
        QtSettingsStore store(folder());

        QCOMPARE(store.getSetting("Quorvel", "settings", key.toStdString(), "<default>"), std::string("<default>"));
        QCOMPARE(QFile::exists(programFile()), !file.isNull()); // reading creates nothing
    }

    void textComesBackExactlyAsSaved_data() {
        QTest::addColumn<QString>("value");
        const char* const values[] = {"500",   " 1000",         "1000 ", "",    "007",       "1,2",     "a, b",
                                      "@@x",   "@Variant(AAA)", "\"q\"", "\"",  "a\\b",      "x=y;z#w", "[settings]",
                                      "2.5e3", "tab\there",     "cr\r",  "ünï", "line\nend", "\x01\x7f"};
        for (const char* value : values) {
            QTest::newRow(*value ? value : "empty") << QString::fromUtf8(value);
        }
    }
    void textComesBackExactlyAsSaved() {
        QFETCH(QString, value);
        QtSettingsStore(folder()).saveSetting("Quorvel", "settings", "polltime", value.toStdString());

        // A new store, as at the next start-up.
        QtSettingsStore store(folder());

        QCOMPARE(QString::fromStdString(store.getSetting("Quorvel", "settings", "polltime", "<default>")), value);
    }

    void textTypedIntoTheFileComesBackAsWritten_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("value");
        QTest::newRow("comma list") << QByteArray("polltime=1,2") << "1,2";
        QTest::newRow("comma and blank") << QByteArray("polltime=a, b") << "a, b";
        QTest::newRow("typed variant") << QByteArray("polltime=@Variant(junk)") << "@Variant(junk)";
        QTest::newRow("typed rectangle") << QByteArray("polltime=@Rect(1 2 3 4)") << "@Rect(1 2 3 4)";
        QTest::newRow("typed invalid") << QByteArray("polltime=@Invalid()") << "@Invalid()";
        QTest::newRow("blanks around = and value") << QByteArray("  polltime =  700  ") << "700";
        QTest::newRow("quoted blank kept") << QByteArray("polltime=\" 700\"") << " 700";
        QTest::newRow("empty") << QByteArray("polltime=") << "";
        QTest::newRow("semicolon inside") << QByteArray("polltime=700 ; fast") << "700 ; fast";
        QTest::newRow("Windows line end") << QByteArray("polltime=700\r") << "700";
        QTest::newRow("Latin-1 editor") << QByteArray("polltime=7\xb0") << QString::fromUtf8("7°");
    }
    void textTypedIntoTheFileComesBackAsWritten() {
        QFETCH(QByteArray, line);
        QFETCH(QString, value);
        QVERIFY(writeFile(programFile(), "[settings]\n" + line + "\nport=3\n"));
        QtSettingsStore store(folder());

        QCOMPARE(QString::fromStdString(store.getSetting("Quorvel", "settings", "polltime", "<default>")), value);
        // Saving another key rewrites the file; the typed value must survive that too.
        store.saveSetting("Quorvel", "settings", "poll", "0");
        QCOMPARE(QString::fromStdString(store.getSetting("Quorvel", "settings", "polltime", "<default>")), value);
        QCOMPARE(store.getSetting("Quorvel", "settings", "port", "<default>"), std::string("3"));
    }

    void aSaveChangesOnlyItsOwnLine_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("value replaced in place, comment and typed list kept")
            << QByteArray("; station PC\n[settings]\nport=1,2\npoll=1\n# old: polltime=300\n") << "poll"
            << QByteArray("; station PC\n[settings]\nport=1,2\npoll=0\n# old: polltime=300\n");
        QTest::newRow("new key after the last one of its section")
            << QByteArray("[settings]\nport=3\n\n[other]\nx=1\n") << "poll"
            << QByteArray("[settings]\nport=3\npoll=0\n\n[other]\nx=1\n");
        QTest::newRow("new section at the end")
            << QByteArray("[other]\nx=1\n") << "poll" << QByteArray("[other]\nx=1\n\n[settings]\npoll=0\n");
        QTest::newRow("empty file") << QByteArray("") << "poll" << QByteArray("[settings]\npoll=0\n");
        QTest::newRow("Windows line ends kept")
            << QByteArray("[settings]\r\nport=3\r\n") << "poll" << QByteArray("[settings]\r\nport=3\r\npoll=0\r\n");
        QTest::newRow("a key written twice: the last one, which is read")
            << QByteArray("[settings]\npoll=1\npoll=2\n") << "poll" << QByteArray("[settings]\npoll=1\npoll=0\n");
        QTest::newRow("no line end at the end")
            << QByteArray("[settings]\nport=3") << "poll" << QByteArray("[settings]\nport=3\npoll=0\n");
        QTest::newRow("bytes that are not UTF-8 kept as they are")
            << QByteArray("; caf\xe9 \xff\n[settings]\nname=\xe9t\xe9\npoll=1\n") << "poll"
            << QByteArray("; caf\xe9 \xff\n[settings]\nname=\xe9t\xe9\npoll=0\n");
        QTest::newRow("mixed line ends each kept") << QByteArray("; a\r\n[settings]\npoll=1\r\nport=3\n") << "poll"
                                                   << QByteArray("; a\r\n[settings]\npoll=0\r\nport=3\n");
        QTest::newRow("byte order mark kept") << QByteArray("\xef\xbb\xbf[settings]\npoll=1\n") << "poll"
                                              << QByteArray("\xef\xbb\xbf[settings]\npoll=0\n");
        QTest::newRow("no line end at the end, value replaced")
            << QByteArray("[settings]\npoll=1") << "poll" << QByteArray("[settings]\npoll=0");
        QTest::newRow("indented key replaced, blank and stray lines kept")
            << QByteArray("[settings]\n\n  poll = 1  \nnot a setting\n") << "poll"
            << QByteArray("[settings]\n\npoll=0\nnot a setting\n");
    }
    void aSaveChangesOnlyItsOwnLine() {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QByteArray, after);
        QVERIFY(writeFile(programFile(), before));

        QtSettingsStore(folder()).saveSetting("Quorvel", "settings", key.toStdString(), "0");

        QCOMPARE(contentsOf(programFile()), after);
        QCOMPARE(QDir(folder() + QStringLiteral("/Quorvel")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Quorvel.conf")}); // no lock or temporary file left behind
    }

    void valuesLandInTheSettingsSectionOfTheApplicationsFile() {
        QtSettingsStore store(folder());

        store.saveSetting("Quorvel", "settings", "port", "3");
        store.saveSetting("Quorvel", "settings", "poll", "1");
        store.saveSetting("Quorvel", "settings", "polltime", "500");
        store.saveSetting("Quorvel", "settings", "FormLeft", "1440");
        store.saveSetting("Quorvel", "settings", "FormTop", "720");
        store.saveSetting("Other", "window", "FormLeft", "9");

        QCOMPARE(store.filePathFor("Quorvel"), programFile());
        // Each save is on disk already; read the file itself, not through the store.
        const QList<QByteArray> lines = contentsOf(programFile()).split('\n');
        QCOMPARE(lines.first(), QByteArray("[settings]"));
        for (const QByteArray line : {"port=3", "poll=1", "polltime=500", "FormLeft=1440", "FormTop=720"}) {
            QVERIFY2(lines.contains(line), line.constData());
        }
        QCOMPARE(lines.count(QByteArray()), 1); // only the final line end: no other section
        QCOMPARE(contentsOf(folder() + QStringLiteral("/Other/Other.conf")), QByteArray("[window]\nFormLeft=9\n"));
    }

    void keysAreCaseSensitive() {
        QtSettingsStore store(folder());

        store.saveSetting("Quorvel", "settings", "FormLeft", "1");
        store.saveSetting("Quorvel", "settings", "formleft", "2");

        QCOMPARE(store.getSetting("Quorvel", "settings", "FormLeft", ""), std::string("1"));
        QCOMPARE(store.getSetting("Quorvel", "settings", "formleft", ""), std::string("2"));
        QCOMPARE(store.getSetting("Quorvel", "settings", "FORMLEFT", "<default>"), std::string("<default>"));
    }

    void aSettingsFileThatIsADirectoryFailsWith75NamingIt_data() {
        QTest::addColumn<bool>("save");
        QTest::newRow("save") << true;
        QTest::newRow("get") << false;
    }
    void aSettingsFileThatIsADirectoryFailsWith75NamingIt() {
        QFETCH(bool, save);
        QVERIFY(QDir().mkpath(programFile()));
        QtSettingsStore store(folder());

        const Failure failure = failureOf([&] {
            if (save) {
                store.saveSetting("Quorvel", "settings", "port", "3");
            } else {
                store.getSetting("Quorvel", "settings", "port", "0");
            }
        });

        QCOMPARE(failure.number, err::kFileAccess);
        QVERIFY2(failure.description.startsWith(u"Path/File access error"), qPrintable(failure.description));
        QVERIFY2(failure.description.contains(programFile()), qPrintable(failure.description));
    }

    void aFailedSaveLeavesNothingBehindToLandLater() {
        QtSettingsStore store(folder());
        store.saveSetting("Quorvel", "settings", "port", "3");
        QVERIFY(QFile::remove(programFile()));
        QVERIFY(QDir().mkpath(programFile()));
        QCOMPARE(failureOf([&] { store.saveSetting("Quorvel", "settings", "port", "7"); }).number, err::kFileAccess);

        QVERIFY(QDir(programFile()).removeRecursively());
        QVERIFY(writeFile(programFile(), "[settings]\npoll=0\n"));
        store.saveSetting("Quorvel", "settings", "polltime", "600");

        QCOMPARE(store.getSetting("Quorvel", "settings", "port", "<default>"), std::string("<default>"));
        QVERIFY2(!contentsOf(programFile()).contains("port"), contentsOf(programFile()).constData());
    }

    void aReadOnlyFolderFailsTheSaveWith75AndKeepsTheFile() {
        QVERIFY(writeFile(programFile(), "[settings]\nport=3\n"));
        const QString appFolder = folder() + QStringLiteral("/Quorvel");
        Failure failure;
        if (isRoot()) {
            // Root writes anywhere; an ordinary user is what meets a read-only folder.
            QVERIFY(::chmod(QFile::encodeName(folder()).constData(), 0755) == 0);
            failure = quorvel::testing::parseFailure(quorvel::testing::runAsNobody(
                "SettingsStoreTest", {QString::fromLatin1(kSaveHelper), folder(), "port", "5"}));
        } else {
            QVERIFY(::chmod(QFile::encodeName(appFolder).constData(), 0555) == 0);
            failure = failureOf([&] { QtSettingsStore(folder()).saveSetting("Quorvel", "settings", "port", "5"); });
        }

        QCOMPARE(failure.number, err::kFileAccess);
        QVERIFY2(failure.description.contains(programFile()), qPrintable(failure.description));
        QCOMPARE(contentsOf(programFile()), QByteArray("[settings]\nport=3\n"));
    }

    void aReadOnlyFileIsRefusedWith75AndKeptAsItIs_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("read-only for all") << 0444;
        QTest::newRow("read-only for its owner alone") << 0400;
        QTest::newRow("the owner's write permission taken, the group's left") << 0464;
    }
    void aReadOnlyFileIsRefusedWith75AndKeptAsItIs() {
        QFETCH(int, mode);
        const QByteArray before("[settings]\nport=3\n");
        QVERIFY(writeFile(programFile(), before));
        QVERIFY(::chmod(QFile::encodeName(programFile()).constData(), static_cast<mode_t>(mode)) == 0);
        const struct stat untouched = statOf(programFile());
        QtSettingsStore store(folder());

        // Saving back what the file holds, as start-up does, changes nothing and is no error.
        const Failure same = failureOf([&] { store.saveSetting("Quorvel", "settings", "port", "3"); });
        const Failure changed = failureOf([&] { store.saveSetting("Quorvel", "settings", "port", "5"); });

        QCOMPARE(same.number, 0);
        QCOMPARE(changed.number, err::kFileAccess);
        QVERIFY2(changed.description.contains(programFile()) && changed.description.contains(u"read-only"),
                 qPrintable(changed.description));
        const struct stat after = statOf(programFile());
        QVERIFY(sameFileUnchanged(untouched, after));
        QCOMPARE(after.st_mode & 07777, static_cast<mode_t>(mode));
        QCOMPARE(contentsOf(programFile()), before);
        QCOMPARE(QDir(folder() + QStringLiteral("/Quorvel")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Quorvel.conf")});
    }

    void aSaveKeepsTheFilesOwnerGroupAndMode_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("private") << 0600;
        QTest::newRow("the group may read") << 0640;
        QTest::newRow("anyone may write, whatever the umask") << 0666;
    }
    void aSaveKeepsTheFilesOwnerGroupAndMode() {
        QFETCH(int, mode);
        QVERIFY(writeFile(programFile(), "[settings]\nport=3\n"));
        const QByteArray path = QFile::encodeName(programFile());
        // An owner and group other than a new file's: root can give any; an ordinary user only
        // another group of its own, if it has one.
        if (isRoot()) {
            QVERIFY(::chown(path.constData(), kNobody, kNobody) == 0);
        } else if (const auto group = anotherGroupOfMine()) {
            QVERIFY(::chown(path.constData(), static_cast<uid_t>(-1), *group) == 0);
        }
        QVERIFY(::chmod(path.constData(), static_cast<mode_t>(mode)) == 0);
        const struct stat before = statOf(programFile());

        QtSettingsStore(folder()).saveSetting("Quorvel", "settings", "port", "5");

        QCOMPARE(contentsOf(programFile()), QByteArray("[settings]\nport=5\n"));
        const struct stat after = statOf(programFile());
        QCOMPARE(after.st_mode & 07777, static_cast<mode_t>(mode));
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
    }

    // A new file in its place could not be given the group: the file is written where it is.
    void aFileInAGroupItsUserIsNotInKeepsTheGroup() {
        if (!isRoot()) {
            QSKIP("needs root to give a user's file a group that user is not in");
        }
        const QString appFolder = folder() + QStringLiteral("/Quorvel");
        QVERIFY(writeFile(programFile(), "[settings]\nport=3\n"));
        QVERIFY(::chmod(QFile::encodeName(folder()).constData(), 0755) == 0);
        QVERIFY(::chown(QFile::encodeName(appFolder).constData(), kNobody, kNobody) == 0);
        QVERIFY(::chown(QFile::encodeName(programFile()).constData(), kNobody, 0) == 0);
        QVERIFY(::chmod(QFile::encodeName(programFile()).constData(), 0660) == 0);

        const QString answer = quorvel::testing::runAsNobody("SettingsStoreTest",
                                                             {QString::fromLatin1(kSaveHelper), folder(), "port", "5"});

        QCOMPARE(answer, QStringLiteral("0")); // saved, no failure
        QCOMPARE(contentsOf(programFile()), QByteArray("[settings]\nport=5\n"));
        const struct stat after = statOf(programFile());
        QCOMPARE(after.st_gid, gid_t{0});
        QCOMPARE(after.st_mode & 07777, mode_t{0660});
    }

    // Written where it is, a file linked under another name (a dotfiles folder) stays one file;
    // a shorter text leaves nothing of the longer one behind.
    void aHardLinkedFileStaysOneFileUnderEveryName() {
        const QString other = folder() + QStringLiteral("/dotfiles/Quorvel.conf");
        QVERIFY(writeFile(programFile(), "[settings]\nport=12\n"));
        QVERIFY(QDir().mkpath(QFileInfo(other).path()));
        QVERIFY(::link(QFile::encodeName(programFile()).constData(), QFile::encodeName(other).constData()) == 0);
        const struct stat before = statOf(programFile());
        QtSettingsStore store(folder());

        store.saveSetting("Quorvel", "settings", "port", "5");
        QCOMPARE(contentsOf(other), QByteArray("[settings]\nport=5\n"));
        store.saveSetting("Quorvel", "settings", "poll", "0");

        QCOMPARE(contentsOf(other), QByteArray("[settings]\nport=5\npoll=0\n"));
        QCOMPARE(contentsOf(programFile()), contentsOf(other));
        const struct stat after = statOf(programFile());
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_nlink, nlink_t{2});
        QCOMPARE(QDir(folder() + QStringLiteral("/Quorvel")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Quorvel.conf")});
    }

    void theConfigFolderFollowsXdgConfigHome_data() {
        QTest::addColumn<QString>("xdgConfigHome");
        QTest::addColumn<QString>("folder");
        QTest::newRow("absolute") << "/srv/cfg"
                                  << "/srv/cfg";
        QTest::newRow("relative is ignored") << "cfg"
                                             << "/home/op/.config";
        QTest::newRow("empty") << ""
                               << "/home/op/.config";
        QTest::newRow("unset") << QString() << "/home/op/.config";
        QTest::newRow("HOME unset: the account's home") << QString() << accountHome() + "/.config";
        QTest::newRow("HOME unset, XDG absolute") << "/srv/cfg"
                                                  << "/srv/cfg";
    }
    void theConfigFolderFollowsXdgConfigHome() {
        QFETCH(QString, xdgConfigHome);
        QFETCH(QString, folder);
        const bool homeUnset = QString::fromLatin1(QTest::currentDataTag()).startsWith(u"HOME unset");
        const EnvironmentVariable home("HOME", homeUnset ? QString() : QStringLiteral("/home/op"));
        const EnvironmentVariable xdg("XDG_CONFIG_HOME", xdgConfigHome);

        QCOMPARE(QtSettingsStore::defaultConfigFolder(), folder);
        // The port links live in the same folder.
        QCOMPARE(QString::fromStdString(QtSerialComm::defaultSearchDirs().mappingDir), folder + "/Quorvel/ports");
    }

    void savingWhatTheFileHoldsWritesNothing() {
        const QByteArray before("[settings]\nport=3\npoll=1\npolltime=\" 500\"\n");
        QVERIFY(writeFile(programFile(), before));
        const struct stat untouched = statOf(programFile());
        QtSettingsStore store(folder());

        // As start-up does: read each value, then save it back.
        for (const char* key : {"port", "poll", "polltime"}) {
            store.saveSetting("Quorvel", "settings", key, store.getSetting("Quorvel", "settings", key, "<default>"));
        }
        store.saveSetting("Quorvel", "settings", "polltime", " 500");

        QVERIFY(sameFileUnchanged(untouched, statOf(programFile())));
        QCOMPARE(contentsOf(programFile()), before);
        QCOMPARE(QDir(folder() + QStringLiteral("/Quorvel")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Quorvel.conf")});
        // A value that differs, or a key the file does not hold yet, is written.
        store.saveSetting("Quorvel", "settings", "polltime", "500");
        store.saveSetting("Quorvel", "settings", "FormTop", "0");
        QCOMPARE(contentsOf(programFile()), QByteArray("[settings]\nport=3\npoll=1\npolltime=500\nFormTop=0\n"));
    }

    void aChangeOnTheDiskIsReadAgain_data() {
        QTest::addColumn<QByteArray>("changed"); // the file as changed behind the store's back; null: removed
        QTest::addColumn<QString>("port");
        QTest::newRow("same size, other value") << QByteArray("[settings]\nport=4\n") << "4";
        QTest::newRow("value added") << QByteArray("[settings]\npoll=0\nport=12\n") << "12";
        QTest::newRow("removed") << QByteArray() << "<default>";
    }
    void aChangeOnTheDiskIsReadAgain() {
        QFETCH(QByteArray, changed);
        QFETCH(QString, port);
        QVERIFY(writeFile(programFile(), "[settings]\nport=3\n"));
        QtSettingsStore store(folder());
        QCOMPARE(store.getSetting("Quorvel", "settings", "port", "<default>"), std::string("3"));

        // Given the file changed by hand (or removed), as an editor does it: a new file.
        QVERIFY(QFile::remove(programFile()));
        if (!changed.isNull()) {
            QVERIFY(writeFile(programFile(), changed));
        }

        QCOMPARE(QString::fromStdString(store.getSetting("Quorvel", "settings", "port", "<default>")), port);
        // A save keeps what was changed on the disk.
        store.saveSetting("Quorvel", "settings", "FormLeft", "9");
        QCOMPARE(contentsOf(programFile()),
                 changed.isNull() ? QByteArray("[settings]\nFormLeft=9\n") : changed + "FormLeft=9\n");
    }

    void aSaveByAnotherInstanceIsSeen() {
        QtSettingsStore first(folder());
        QtSettingsStore second(folder());
        first.saveSetting("Quorvel", "settings", "port", "3");
        QCOMPARE(second.getSetting("Quorvel", "settings", "port", "<default>"), std::string("3"));

        second.saveSetting("Quorvel", "settings", "port", "5");
        first.saveSetting("Quorvel", "settings", "poll", "0");

        QCOMPARE(contentsOf(programFile()), QByteArray("[settings]\nport=5\npoll=0\n"));
        QCOMPARE(first.getSetting("Quorvel", "settings", "port", "<default>"), std::string("5"));
    }

    void aFileLargerThanASettingsFileIsRefusedUntouched_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("refused");
        QTest::newRow("1 MiB: read") << QtSettingsStore::kMaxFileSize << false;
        QTest::newRow("1 MiB and a byte") << QtSettingsStore::kMaxFileSize + 1 << true;
        QTest::newRow("10 MB") << qint64{10'000'000} << true;
    }
    void aFileLargerThanASettingsFileIsRefusedUntouched() {
        QFETCH(qint64, size);
        QFETCH(bool, refused);
        const QByteArray head("[settings]\nport=3\n; ");
        QVERIFY(writeFile(programFile(), head + QByteArray(size - head.size() - 1, 'x') + '\n'));
        const struct stat untouched = statOf(programFile());
        QtSettingsStore store(folder());

        const Failure get = failureOf([&] { store.getSetting("Quorvel", "settings", "port", "0"); });
        const Failure save = failureOf([&] { store.saveSetting("Quorvel", "settings", "port", "5"); });

        for (const Failure& failure : {get, save}) {
            QCOMPARE(failure.number, refused ? err::kFileAccess : 0);
            if (refused) {
                QVERIFY2(failure.description.contains(u"too large") && failure.description.contains(programFile()),
                         qPrintable(failure.description));
            }
        }
        if (refused) {
            QVERIFY(sameFileUnchanged(untouched, statOf(programFile())));
            QCOMPARE(QDir(folder() + QStringLiteral("/Quorvel")).entryList(QDir::Files | QDir::Hidden),
                     QStringList{QStringLiteral("Quorvel.conf")});
        } else {
            QCOMPARE(store.getSetting("Quorvel", "settings", "port", "0"), std::string("5"));
        }
    }

    // A file with no end (here a link to /dev/zero) is read up to the limit only, and refused.
    void aFileWithoutEndIsRefused() {
        QVERIFY(QDir().mkpath(QFileInfo(programFile()).path()));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), programFile()));
        QtSettingsStore store(folder());
        const Failure get = failureOf([&] { store.getSetting("Quorvel", "settings", "port", "0"); });
        QCOMPARE(get.number, err::kFileAccess);
        QVERIFY2(get.description.contains(u"too large"), qPrintable(get.description));
    }

    void aTemporaryFileLeftByAKilledSaveIsCleanedUp_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("by a save that changes the file") << "5";
        QTest::newRow("by a save of the value it holds") << "3";
    }
    void aTemporaryFileLeftByAKilledSaveIsCleanedUp() {
        QFETCH(QString, value);
        QVERIFY(writeFile(programFile(), "[settings]\nport=3\n"));
        const QString leftOver = programFile() + QStringLiteral(".saving");
        QVERIFY(writeFile(leftOver, "[settings]\nport="));
        QVERIFY(QFile::setPermissions(leftOver, QFileDevice::ReadOwner));

        QtSettingsStore(folder()).saveSetting("Quorvel", "settings", "port", value.toStdString());

        QCOMPARE(contentsOf(programFile()), "[settings]\nport=" + value.toUtf8() + "\n");
        QCOMPARE(QDir(folder() + QStringLiteral("/Quorvel")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Quorvel.conf")});
    }

    void aLinkedSettingsFileStaysALink() {
        const QString real = folder() + QStringLiteral("/dotfiles/Quorvel.conf");
        QVERIFY(writeFile(real, "[settings]\nport=3\n"));
        QVERIFY(QDir().mkpath(folder() + QStringLiteral("/Quorvel")));
        QVERIFY(QFile::link(real, programFile()));

        QtSettingsStore(folder()).saveSetting("Quorvel", "settings", "port", "5");

        QVERIFY(QFileInfo(programFile()).isSymLink());
        QCOMPARE(contentsOf(real), QByteArray("[settings]\nport=5\n"));
    }

    void namesTheFileCannotHoldGive5_data() {
        QTest::addColumn<QString>("app");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        struct Names {
            const char* row;
            const char* app;
            const char* section;
            const char* key;
        };
        for (const Names& names :
             {Names{"empty key", "Quorvel", "settings", ""}, Names{"slash would nest", "Quorvel", "settings", "a/b"},
              Names{"equals sign", "Quorvel", "settings", "a=b"},
              Names{"blank at the end", "Quorvel", "settings", "port "},
              Names{"bracket in section", "Quorvel", "set]tings", "port"},
              Names{"key read as a ; comment", "Quorvel", "settings", ";port"},
              Names{"key read as a # comment", "Quorvel", "settings", "#port"},
              Names{"application escaping the folder", "../x", "settings", "port"}}) {
            QTest::newRow(names.row) << QString::fromLatin1(names.app) << QString::fromLatin1(names.section)
                                     << QString::fromLatin1(names.key);
        }
    }
    void namesTheFileCannotHoldGive5() {
        QFETCH(QString, app);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QtSettingsStore store(folder());

        for (const bool save : {true, false}) {
            const Failure failure = failureOf([&] {
                if (save) {
                    store.saveSetting(app.toStdString(), section.toStdString(), key.toStdString(), "1");
                } else {
                    store.getSetting(app.toStdString(), section.toStdString(), key.toStdString(), "1");
                }
            });
            QCOMPARE(failure.number, err::kInvalidProcedureCall);
        }
        QVERIFY(QDir(folder()).isEmpty());
    }
};

int runSettingsStoreTest(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 5 && qstrcmp(argv[1], kSaveHelper) == 0) {
        return runSaveHelper(QString::fromLocal8Bit(argv[2]), argv[3], argv[4]);
    }
    SettingsStoreTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SettingsStoreTest.moc"
