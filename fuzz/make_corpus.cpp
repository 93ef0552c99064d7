// Writes the seed corpus of the fuzz targets: pages, the feed and a replay as the
// demo site serves them (started here, on 127.0.0.1), and the demo Game.dll.
//   make_corpus <output folder> <Game.dll>
#include "demo/demosite.h"
#include "demo/mapwriter.h"
#include "details/meleedetail.h"
#include "web/httpget.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

namespace {

int failures = 0;

void save(const QString &folder, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(folder);
    QFile f(folder + QLatin1Char('/') + name);
    if (bytes.isEmpty() || !f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "make_corpus: could not write %s\n", qPrintable(f.fileName()));
        ++failures;
    }
}

QByteArray get(const QString &url)
{
    QByteArray body;
    const FetchResult r = BlockingGet(url, 10000, [&](const QByteArray &piece) {
        body += piece;
        return true;
    });
    if (!r.ok()) {
        std::fprintf(stderr, "make_corpus: %s: %s\n", qPrintable(url), qPrintable(r.error));
        ++failures;
        return {};
    }
    return body;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_corpus <output folder> <Game.dll>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    DemoSite site;
    if (!site.ok()) {
        std::fprintf(stderr, "make_corpus: the demo site could not listen\n");
        return 1;
    }
    const SiteRoots roots = site.roots();
    const DemoData &data = DemoData::instance();
    const auto dir = [&](const char *target) { return out + QLatin1Char('/') + QLatin1String(target); };

    const QByteArray meleeList = get(roots.melee + QStringLiteral("/Default.aspx?PageNo=1"));
    save(dir("fuzz_melee_listing"), QStringLiteral("default-1.html"), meleeList);
    save(dir("fuzz_melee_listing"), QStringLiteral("race-3.html"), get(roots.melee + QStringLiteral("/ReplayList.aspx?GameRace=3&PageNo=1")));
    save(dir("fuzz_htmltotext"), QStringLiteral("melee-list.html"), meleeList);
    // Hostile text: many "<" whose names would all run on to one distant ">".
    save(dir("fuzz_htmltotext"), QStringLiteral("a-lt-b.txt"), QByteArray("a<b").repeated(21845) + '>');

    const QByteArray dotaList = get(roots.dota + QStringLiteral("/DotaList.aspx?PageNo=1"));
    save(dir("fuzz_dota_listing"), QStringLiteral("list-1.html"), dotaList);
    save(dir("fuzz_dota_listing"), QStringLiteral("list-2.html"), get(roots.dota + QStringLiteral("/DotaList.aspx?PageNo=2")));

    for (int i = 0; i < 3 && i < data.melee.size(); ++i) {
        const QString id = QString::number(data.melee[i].id);
        const QByteArray page = get(roots.melee + QStringLiteral("/ReplayDetail.aspx?ReplayID=") + id);
        save(dir("fuzz_melee_detail"), id + QStringLiteral(".html"), page);
        const MeleeDetail d = ParseMeleeDetail(QString::fromUtf8(page), roots.melee);
        save(dir("fuzz_urldecode"), id + QStringLiteral(".txt"), d.replayUrl.toUtf8());
        save(dir("fuzz_gamepath"), id + QStringLiteral(".txt"), d.mapPath.toUtf8());
        if (i == 0)
            save(dir("fuzz_htmltotext"), QStringLiteral("melee-detail.html"), page);
        save(dir("fuzz_replayfile"), id + QStringLiteral(".w3g"),
             get(roots.melee + QStringLiteral("/Download.aspx?ReplayID=") + id + QStringLiteral("&file=x.w3g")));
    }
    for (int i = 0; i < 2 && i < data.dota.size(); ++i) {
        const QString id = QString::number(data.dota[i].id);
        save(dir("fuzz_dota_detail"), id + QStringLiteral(".html"), get(roots.dota + QStringLiteral("/ReplayShow.aspx?ReplayID=") + id));
    }
    const QByteArray index = get(roots.dota + QStringLiteral("/download/"));
    if (!data.dota.isEmpty())
        save(dir("fuzz_dota_detail"), QStringLiteral("index.html"), index + '\x01' + data.dota[0].map.toUtf8());

    save(dir("fuzz_announcement"), QStringLiteral("announce.xml"), get(roots.feed));

    // The parts of a map: small pictures of each kind, info files, a string table.
    const QImage picture = DemoMinimapAlpha(DemoMinimapPicture(1, 32));
    save(dir("fuzz_mapfile"), QStringLiteral("jpeg.blp"), WriteDemoBlp(picture, true));
    save(dir("fuzz_mapfile"), QStringLiteral("paletted-8.blp"), WriteDemoBlp(picture, false, 8));
    save(dir("fuzz_mapfile"), QStringLiteral("paletted-1.blp"), WriteDemoBlp(picture, false, 1));
    save(dir("fuzz_mapfile"), QStringLiteral("preview.tga"), WriteDemoTga(DemoMinimapPicture(2, 16)));
    for (int version : {18, 25, 31})
        save(dir("fuzz_mapfile"), QStringLiteral("v%1.w3i").arg(version),
             WriteDemoW3i("TRIGSTR_001", "|cffff0000Author|r", "TRIGSTR_2", "2", 4, version));

    QFile dll(QString::fromLocal8Bit(argv[2]));
    save(dir("fuzz_versionresource"), QStringLiteral("Game.dll"), dll.open(QIODevice::ReadOnly) ? dll.readAll() : QByteArray());

    return failures == 0 ? 0 : 1;
}
