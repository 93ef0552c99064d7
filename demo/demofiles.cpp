// The demo replay and map files and the routes that hand them out.
#include "demo/demofiles.h"

#include "demo/demopages.h"
#include "demo/demosite.h"
#include "demo/mapwriter.h"
#include "demo/replaywriter.h"
#include "web/codepage.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>

namespace {
constexpr qint64 kKiB = 1024;
constexpr qint64 kMiB = 1024 * 1024;
constexpr qint64 kMaxTestFile = 64 * kMiB;

const QByteArray kReplayHeader("Warcraft III recorded game\x1A\x00", 28);
const QByteArray kMapHeader("HM3W");

struct MapEntry {
    QString folder;
    QString fileName;
    qint64 size = 0;
    bool dota = false;
    DemoMapDescription map;
};

quint32 fnv1a(const QByteArray &bytes)
{
    quint32 h = 2166136261u;
    for (char c : bytes) {
        h ^= quint8(c);
        h *= 16777619u;
    }
    return h;
}

QByteArray withFiller(const QByteArray &header, qint64 size, quint32 seed)
{
    size = qBound<qint64>(0, size, kMaxTestFile);
    QByteArray out(size, Qt::Uninitialized);
    quint32 state = demopage::mixBits(seed) | 1u;  // xorshift must not start at 0
    char *p = out.data();
    for (qint64 i = 0; i < size; i += 4) {
        demopage::xorshift(state);
        for (qint64 k = 0; k < 4 && i + k < size; ++k)
            p[i + k] = char(state >> (8 * k));
    }
    std::memcpy(p, header.constData(), size_t(qMin<qint64>(size, header.size())));
    return out;
}

// Every map of the data set with its made-up size.
const QList<MapEntry> &mapTable()
{
    static const QList<MapEntry> table = [] {
        demopage::initResources();
        QFile f(QStringLiteral(":/demo/dataset.json"));
        f.open(QIODevice::ReadOnly);
        const QJsonObject root = QJsonDocument::fromJson(f.readAll()).object();
        QList<MapEntry> out;
        // The melee maps' minimaps in the data set's order (see DemoMapFile).
        const DemoMinimap meleeMinimaps[] = {DemoMinimap::BlpJpeg, DemoMinimap::BlpPaletted, DemoMinimap::BlpPalettedAlpha,
                                             DemoMinimap::BlpJpeg, DemoMinimap::BlpPaletted, DemoMinimap::TgaOnly};
        qint64 k = 0;
        for (const auto &v : root.value(u"maps").toArray()) {
            const QJsonObject m = v.toObject();
            MapEntry e{m.value(u"short").toString(), m.value(u"file").toString()};
            e.size = 128 * kKiB + qint64(fnv1a(e.fileName.toUtf8()) % 40) * 64 * kKiB;
            const QString name = m.value(u"name").toString();
            const int seats = e.fileName.mid(1, 1).toInt();
            e.map = {name, QStringLiteral("演示地图工坊"), QStringLiteral("Quillmark 演示对战地图：") + name,
                     QStringLiteral("%1 人").arg(seats), seats, false,
                     k < 6 ? meleeMinimaps[k] : DemoMinimap::BlpPalettedAlpha, e.size, quint32(k + 1)};
            e.map.textsInStringTable = k >= 6;
            ++k;
            out.append(e);
        }
        k = 0;
        for (const auto &v : root.value(u"dotaMaps").toArray()) {
            const QJsonObject m = v.toObject();
            MapEntry e{m.value(u"folder").toString(), m.value(u"name").toString() + QStringLiteral(".w3x")};
            e.size = qMin(3 * kMiB + k++ * 5 * kMiB / 2, 8 * kMiB);  // 3, 5.5, 8 MiB
            e.dota = true;
            e.map = {m.value(u"name").toString(), QStringLiteral("DotA 演示作者"), QStringLiteral("Quillmark 演示 DotA 地图"),
                     QStringLiteral("5v5"), 12, true, DemoMinimap::BlpJpeg, e.size, quint32(100 + k)};
            out.append(e);
        }
        return out;
    }();
    return table;
}

const MapEntry *findMap(const QString &folder, const QString &fileName, bool dota)
{
    for (const MapEntry &e : mapTable())
        if (e.dota == dota && e.folder == folder && e.fileName == fileName)
            return &e;
    return nullptr;
}

// Written anew when asked for, the last few kept: the map host is asked for the
// same map many times in a row (tests, benchmarks), from the demo site's thread.
QByteArray mapBytes(const MapEntry &e)
{
    static QMutex mutex;
    static QList<std::pair<const MapEntry *, QByteArray>> recent;
    QMutexLocker lock(&mutex);
    for (const auto &r : std::as_const(recent))
        if (r.first == &e)
            return r.second;
    const QByteArray bytes = WriteDemoMap(e.map);
    recent.prepend({&e, bytes});
    if (recent.size() > 3)
        recent.removeLast();
    return bytes;
}

// "<folder>/<file>" of a path, each part percent-decoded from code page 936.
bool splitMapPath(const QByteArray &rest, QString *folder, QString *file)
{
    const qsizetype slash = rest.indexOf('/');
    if (slash <= 0)
        return false;
    const QString gbk = QStringLiteral("GBK");
    *folder = codepage::bytesToText(QByteArray::fromPercentEncoding(rest.left(slash)), gbk);
    *file = codepage::bytesToText(QByteArray::fromPercentEncoding(rest.mid(slash + 1)), gbk);
    return true;
}

DemoResponse fileAnswer(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return DemoResponse::notFound();
    return DemoResponse::bytes(bytes);
}

bool isMeleeId(int id)
{
    const auto &all = DemoData::instance().melee;
    return std::any_of(all.begin(), all.end(), [id](const DemoMeleeReplay &r) { return r.id == id; });
}

bool isDotaId(int id)
{
    const auto &all = DemoData::instance().dota;
    return std::any_of(all.begin(), all.end(), [id](const DemoDotaReplay &r) { return r.id == id; });
}

std::optional<DemoResponse> testFileRoute(const QByteArray &path)
{
    auto sizeAfter = [&](qsizetype prefix, qint64 fallback) {
        bool ok = false;
        const qint64 n = path.mid(prefix).toLongLong(&ok);
        return ok ? qBound<qint64>(0, n, kMaxTestFile) : fallback;
    };
    if (path.startsWith("/_files/cut")) {
        const qint64 n = sizeAfter(12, 2048);
        DemoResponse c = DemoResponse::bytes(DemoReplayBytes(n, 11));
        c.announcedLength = n + 4096;
        return c;
    }
    if (path == "/_files/404")
        return DemoResponse::notFound();
    if (path.startsWith("/_files/nolength/")) {
        DemoResponse r = DemoResponse::bytes(DemoReplayBytes(sizeAfter(17, 2048), 12));
        r.contentLength = false;
        return r;
    }
    if (path == "/_files/htmlreplay")
        return DemoResponse::html(demopage::pageShell(QStringLiteral("录像下载"),
                                                      QStringLiteral("<p>该录像不存在或已被删除。</p>")));
    if (path.startsWith("/_files/replay/"))
        return DemoResponse::bytes(DemoReplayBytes(sizeAfter(15, 2048), 13));
    if (path.startsWith("/_files/map/"))
        return DemoResponse::bytes(DemoMapBytes(sizeAfter(12, 4096), 14));
    return DemoResponse::notFound();
}
} // namespace

const QList<DemoDotaMap> &DemoDotaMaps()
{
    static const QList<DemoDotaMap> maps = [] {
        QList<DemoDotaMap> out;
        for (const MapEntry &e : mapTable())
            if (e.dota)
                out.append({e.fileName.chopped(4), e.folder});
        return out;
    }();
    return maps;
}

QByteArray DemoReplayBytes(qint64 size, quint32 seed)
{
    return withFiller(kReplayHeader, size, seed);
}

QByteArray DemoMapBytes(qint64 size, quint32 seed)
{
    return withFiller(kMapHeader, size, seed);
}

QByteArray DemoReplayFile(int id)
{
    for (const DemoMeleeReplay &r : DemoData::instance().melee)
        if (r.id == id)
            return WriteDemoReplay(DemoReplayDescriptionOf(r));
    for (const DemoDotaReplay &r : DemoData::instance().dota)
        if (r.id == id)
            return WriteDemoReplay(DemoReplayDescriptionOf(r));
    return QByteArray();
}

QByteArray DemoMapFile(const QString &folder, const QString &fileName)
{
    const MapEntry *e = findMap(folder, fileName, false);
    if (!e)
        e = findMap(folder, fileName, true);
    return e ? mapBytes(*e) : QByteArray();
}

std::optional<DemoResponse> DemoFileRoute(const DemoRequest &r, DemoFileSite site)
{
    const QByteArray path = r.path();
    if (path.startsWith("/_files/"))
        return testFileRoute(path);

    if (path == "/Download.aspx" && site != DemoFileSite::MapHost) {
        const int id = r.queryValue("ReplayID").toInt();
        const bool here = site == DemoFileSite::Melee ? isMeleeId(id) : isDotaId(id);
        return here ? fileAnswer(DemoReplayFile(id)) : DemoResponse::notFound();
    }

    const QByteArray meleeMaps = "/ReplayMap/download/";
    const QByteArray dotaMaps = "/dota/";
    const bool melee = site == DemoFileSite::Melee && path.startsWith(meleeMaps);
    const bool dota = site == DemoFileSite::MapHost && path.startsWith(dotaMaps);
    if (!melee && !dota)
        return std::nullopt;
    QString folder, file;
    if (!splitMapPath(path.mid(melee ? meleeMaps.size() : dotaMaps.size()), &folder, &file))
        return DemoResponse::notFound();
    const MapEntry *e = findMap(folder, file, dota);
    return e ? fileAnswer(mapBytes(*e)) : DemoResponse::notFound();
}
