#include "download/versionresource.h"
#include "download/pebuilder.h"
#include "support/testfiles.h"

#include <QRandomGenerator>
#include <functional>

namespace {

QStringList fields(const VersionStrings &v)
{
    return {v.CompanyName,    v.FileDescription,  v.FileVersion, v.InternalName,
            v.LegalCopyright, v.OriginalFileName, v.ProductName, v.ProductVersion};
}

const QStringList StandardFields = {
    QStringLiteral("Demo Company"), QStringLiteral("Game Library"),   QStringLiteral("1.24.4.6387"),
    QStringLiteral("Game"),         QStringLiteral("Copyright demo"), QStringLiteral("Game.dll"),
    QStringLiteral("Warcraft III"), QStringLiteral("1.24.4.6387")};

pebuilder::VersionContent standardContent()
{
    pebuilder::VersionContent content;
    content.strings = pebuilder::standardStrings(QStringLiteral("1.24.4.6387"));
    return content;
}

// Every field filled with something, so that the reader must empty them first.
VersionStrings stale()
{
    VersionStrings v;
    for (QString *f : {&v.CompanyName, &v.FileDescription, &v.FileVersion, &v.InternalName,
                       &v.LegalCopyright, &v.OriginalFileName, &v.ProductName, &v.ProductVersion})
        *f = QStringLiteral("stale");
    return v;
}

} // namespace

TEST(VersionResource, GeneratedImages)
{
    using Content = pebuilder::VersionContent;
    const QStringList none(8, QString());
    const struct {
        const char *name;
        std::function<void(Content &)> change;
        bool pe32plus;
        int status;
        QStringList expected;
    } cases[] = {
        {"usual table and keys", [](Content &) {}, false, 1, StandardFields},
        {"PE32+", [](Content &) {}, true, 1, StandardFields},
        {"lower-case table key and key names",
         [](Content &s) {
             s.tableKey = QStringLiteral("040904b0");
             for (auto &kv : s.strings)
                 kv.first = kv.first.toLower();
         },
         false, 1, StandardFields},
        {"another language and code page",
         [](Content &s) {
             s.translations = {{0x0804, 0x03A8}};
             s.tableKey = QStringLiteral("080403A8");
         },
         false, 1, StandardFields},
        {"the first translation names the table",
         [](Content &s) { s.translations = {{0x0804, 0x03A8}, {0x0409, 0x04B0}}; }, false, 2, none},
        {"no translation", [](Content &s) { s.translations.clear(); }, false, 2, none},
        {"a missing key keeps the fields read before it", [](Content &s) { s.strings.removeAt(4); }, false, 2,
         StandardFields.mid(0, 4) + QStringList(4, QString())},
        {"strings in another order", [](Content &s) { std::reverse(s.strings.begin(), s.strings.end()); }, false, 1,
         StandardFields},
        {"values cut at 255 bytes of code page 936 on a character boundary",
         [](Content &s) {
             s.strings[0].second = QString(200, QChar(u'魔'));
             s.strings[1].second = u'a' + QString(200, QChar(u'兽'));
         },
         false, 1,
         // 127 double-byte characters make 254 bytes (a 128th would need 256);
         // behind one ASCII byte they make exactly 255.
         QStringList{QString(127, QChar(u'魔')), u'a' + QString(127, QChar(u'兽'))} + StandardFields.mid(2)},
        {"Chinese values", [](Content &s) { s.strings[6].second = u8s("魔兽争霸III"); }, false, 1,
         StandardFields.mid(0, 6) + QStringList{u8s("魔兽争霸III"), StandardFields[7]}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Content content = standardContent();
        c.change(content);
        pebuilder::ImageOptions options;
        options.pe32plus = c.pe32plus;
        VersionStrings out = stale();
        EXPECT_EQ(ReadVersionResourceBytes(pebuilder::image(pebuilder::versionInfo(content), options), out), c.status);
        EXPECT_EQ(fields(out), c.expected);
    }
}

TEST(VersionResource, DamagedFilesAreUnreadable)
{
    const QByteArray good = pebuilder::image(pebuilder::versionInfo(standardContent()));
    const qsizetype block = 0x200 + 0x58;  // where the builder puts the version block
    const qsizetype blockEnd = block + pebuilder::versionInfo(standardContent()).size();
    const auto patched = [&](qsizetype at, const QByteArray &bytes) { return QByteArray(good).replace(at, bytes.size(), bytes); };

    QList<QPair<QString, QByteArray>> files;
    for (qsizetype cut : {qsizetype(0), qsizetype(0x3E), qsizetype(0x100), qsizetype(0x210), block + 40, blockEnd - 1})
        files.append({QStringLiteral("cut at %1").arg(cut), good.left(cut)});

    QByteArray random(4096, '\0');
    QRandomGenerator rng(7);
    for (char &c : random)
        c = char(rng.bounded(256));
    random[0] = 'M';
    random[1] = 'Z';
    files.append({QStringLiteral("garbage behind MZ"), random});

    pebuilder::ImageOptions looping;
    looping.loopingDirectory = true;
    files.append({QStringLiteral("looping resource directory"),
                  pebuilder::image(pebuilder::versionInfo(standardContent()), looping)});
    files.append({QStringLiteral("resource size past the end"), patched(0x200 + 0x48 + 7, "\x7F")});
    const qsizetype at = good.indexOf(QByteArray("P\0r\0o\0d\0u\0c\0t\0V\0", 16), block) - 6;
    ASSERT_GT(at, block);
    files.append({QStringLiteral("string longer than its table"), patched(at, "\xFF\xFF")});
    files.append({QStringLiteral("PE header past the end"), patched(0x3F, "\x7F")});  // e_lfanew

    for (const auto &[name, bytes] : files) {
        SCOPED_TRACE(name.toStdString());
        VersionStrings out = stale();
        EXPECT_EQ(ReadVersionResourceBytes(bytes, out), 2);
        EXPECT_EQ(out.ProductVersion, QString());
    }

    // Damage anywhere in the headers and the resource: read or refused, never a crash.
    for (int i = 0; i < 2000; ++i) {
        QByteArray bytes = good;
        for (int k = 0; k < 4; ++k)
            bytes[rng.bounded(int(blockEnd))] = char(rng.bounded(256));
        VersionStrings out;
        const int status = ReadVersionResourceBytes(bytes, out);
        EXPECT_TRUE(status == 1 || status == 2);
    }
}

TEST(VersionResource, DemoGameDll)
{
    const QString dll = QStringLiteral(QUILLMARK_DEMO_GAME_DIR "/Game.dll");
    VersionStrings out;
    ASSERT_EQ(ReadVersionResource(dll, out), 1);
    EXPECT_EQ(out.ProductVersion, QStringLiteral("1.24.4.6387"));
    EXPECT_EQ(out.FileVersion, QStringLiteral("1.24.4.6387"));
    EXPECT_EQ(out.OriginalFileName, QStringLiteral("Game.dll"));
    EXPECT_EQ(out.ProductName, QStringLiteral("Warcraft III"));
    EXPECT_EQ(ProductVersionOf(dll), QStringLiteral("1.24.4.6387"));
    // The stand-in game executable is a script, not a PE file.
    for (const char *other : {"/War3.exe", "/missing.dll", ""})
        EXPECT_EQ(ProductVersionOf(QStringLiteral(QUILLMARK_DEMO_GAME_DIR) + QLatin1String(other)), std::nullopt) << other;
    EXPECT_EQ(ProductVersionOf(QString()), std::nullopt);
}
