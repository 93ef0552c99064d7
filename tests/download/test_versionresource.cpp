#include "download/versionresource.h"
#include "download/pebuilder.h"
#include "support/testfiles.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
const QStringList kKeys = {"CompanyName", "FileDescription", "FileVersion", "InternalName",
                           "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion"};
const QStringList kValues = {"Demo Company", "Game Library", "1.24.4.6387", "Game",
                             "Copyright demo", "Game.dll", "Warcraft III", "1.24.4.6387"};

pebuilder::VersionContent content()
{
    pebuilder::VersionContent c;
    for (int i = 0; i < 8; ++i)
        c.strings.append({kKeys[i], kValues[i]});
    return c;
}

// The eight fields read from `file`; they start filled, so the reader must empty them.
QStringList read(const QByteArray &file, int &status)
{
    const QString x = QStringLiteral("stale");
    VersionStrings v{x, x, x, x, x, x, x, x};
    status = ReadVersionResourceBytes(file, v);
    return {v.CompanyName, v.FileDescription, v.FileVersion, v.InternalName,
            v.LegalCopyright, v.OriginalFileName, v.ProductName, v.ProductVersion};
}
} // namespace

TEST(VersionResource, GeneratedImages)
{
    using Content = pebuilder::VersionContent;
    const QStringList none(8, QString());
    const struct { const char *name; std::function<void(Content &)> change; bool pe32plus; int status; QStringList expected; } rows[] = {
        {"usual table and keys", [](Content &) {}, false, 1, kValues},
        {"PE32+", [](Content &) {}, true, 1, kValues},
        {"lower-case keys", [](Content &s) { s.tableKey = QStringLiteral("040904b0"); for (auto &kv : s.strings) kv.first = kv.first.toLower(); }, false, 1, kValues},
        {"another code page", [](Content &s) { s.translations = {{0x0804, 0x03A8}}; s.tableKey = QStringLiteral("080403A8"); }, false, 1, kValues},
        {"the first translation names the table", [](Content &s) { s.translations = {{0x0804, 0x03A8}, {0x0409, 0x04B0}}; }, false, 2, none},
        {"no Translation", [](Content &s) { s.translations.clear(); }, false, 2, none},
        {"a missing key keeps the fields before it", [](Content &s) { s.strings.removeAt(4); }, false, 2, kValues.mid(0, 4) + QStringList(4, QString())},
        // 127 double-byte characters of code page 936 make 254 bytes (a 128th would
        // need 256); behind one ASCII byte they make exactly 255.
        {"values cut at 255 bytes on a character boundary",
         [](Content &s) { s.strings[0].second = QString(200, QChar(u'魔')); s.strings[1].second = u'a' + QString(200, QChar(u'兽')); }, false, 1,
         QStringList{QString(127, QChar(u'魔')), u'a' + QString(127, QChar(u'兽'))} + kValues.mid(2)},
    };
    for (const auto &r : rows) {
        Content c = content();
        r.change(c);
        int status = 0;
        EXPECT_EQ(read(pebuilder::image(pebuilder::versionInfo(c), r.pe32plus), status), r.expected) << r.name;
        EXPECT_EQ(status, r.status) << r.name;
    }
}

TEST(VersionResource, DamagedFilesAreUnreadable)
{
    const QByteArray good = pebuilder::image(pebuilder::versionInfo(content()));
    const qsizetype block = 0x200 + 0x58, blockEnd = good.size();  // where the builder puts the version block
    const auto patched = [&](qsizetype at, const QByteArray &bytes) { return QByteArray(good).replace(at, bytes.size(), bytes); };
    QRandomGenerator rng(7);
    QByteArray garbage(4096, '\0');
    for (char &c : garbage)
        c = char(rng.bounded(256));
    const qsizetype string = good.indexOf(QByteArray("P\0r\0o\0d\0u\0c\0t\0V\0", 16), block) - 6;
    ASSERT_GT(string, block);
    const QByteArray files[] = {good.left(0x3E), good.left(0x210), good.left(block + 40), good.left(blockEnd - 1),
                                "MZ" + garbage, pebuilder::image(pebuilder::versionInfo(content()), false, true),
                                patched(0x200 + 0x48 + 7, "\x7F"),  // resource size past the end
                                patched(string, "\xFF\xFF"),        // a string longer than its table
                                patched(0x3F, "\x7F"),              // the PE header past the end
                                "#!/bin/sh\nexit 0\n"};              // no program at all
    for (const QByteArray &bytes : files) {
        int status = 0;
        EXPECT_EQ(read(bytes, status).last(), QString()) << bytes.size();  // ProductVersion
        EXPECT_EQ(status, 2) << bytes.size();
    }
    EXPECT_EQ(ProductVersionOf(QStringLiteral("/nonexistent/Game.dll")), std::nullopt);  // the demo Game.dll is read by every window test
    // Damage anywhere in the headers and the resource: read or refused, never a crash.
    for (int i = 0; i < 2000; ++i) {
        QByteArray bytes = good;
        for (int k = 0; k < 4; ++k)
            bytes[rng.bounded(int(blockEnd))] = char(rng.bounded(256));
        int status = 0;
        read(bytes, status);
        EXPECT_TRUE(status == 1 || status == 2);
    }
}

// A small Game.dll is read in the memory its size needs: in a process that may
// take only 64 MiB more than it has, the version still comes out. (Address space
// limits and the sanitizers' shadow memory do not mix: left out there.)
#if !defined(__SANITIZE_ADDRESS__) && !(defined(__has_feature) && __has_feature(address_sanitizer))
TEST(VersionResource, ASmallFileNeedsLittleMemory)
{
    QTemporaryDir dir;
    const QString dll = dir.filePath(QStringLiteral("Game.dll"));
    WriteBytes(dll, pebuilder::image(pebuilder::versionInfo(content())));
    const pid_t child = fork();
    if (child == 0) {
        long pages = 0;
        std::FILE *statm = std::fopen("/proc/self/statm", "r");
        const bool sized = statm && std::fscanf(statm, "%ld", &pages) == 1;
        if (statm)
            std::fclose(statm);
        const rlim_t room = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + 64 * 1024 * 1024;
        const rlimit limit{room, room};
        if (!sized || setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(3);
        try {
            _exit(ProductVersionOf(dll) == std::optional<QString>(kValues.last()) ? 0 : 1);
        } catch (...) {
            _exit(2);  // std::bad_alloc
        }
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
}
#endif
