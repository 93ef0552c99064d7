// The demo site as a whole: its three listeners, its addresses and the routes
// that misbehave on purpose.
#include "demo/demosite.h"

#include "demo/demopages.h"
#include "web/codepage.h"

#include <QMap>
#include <QMutex>
#include <QtEndian>
#include <zlib.h>

static void initDemoResources()
{
    Q_INIT_RESOURCE(demo);  // the data set lives in a static library
}

namespace demopage {
void initResources()
{
    initDemoResources();
}

QString esc(const QString &s)
{
    return s.toHtmlEscaped();
}

QString pageShell(const QString &title, const QString &body)
{
    return QStringLiteral("<!DOCTYPE html>\r\n<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />"
                          "<title>%1</title></head>\r\n<body>\r\n%2\r\n</body></html>\r\n")
        .arg(esc(title), body);
}

int pageNumber(const DemoRequest &r)
{
    bool ok = false;
    const int p = r.queryValue("PageNo").toInt(&ok);
    return ok && p > 0 ? p : 1;
}

QString keywordText(const DemoRequest &r)
{
    // Keywords travel in code page 936.
    return codepage::bytesToText(r.queryValue("str"), QStringLiteral("GBK"));
}

QString hostRoot(const DemoRequest &r)
{
    return QStringLiteral("http://") + QString::fromLatin1(r.headers.value("host", "127.0.0.1"));
}
quint32 mixBits(quint32 x)
{
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

quint32 xorshift(quint32 &state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}
} // namespace demopage

using namespace demopage;

namespace {
// A page head, then `mib` MiB of blanks, gzip-compressed (made once per size).
// Every MiB of blanks behind a full flush compresses to the same bytes, so one
// is compressed and repeated: a GiB is made in milliseconds.
DemoResponse gzipBomb(int mib)
{
    static QMutex mutex;
    static QMap<int, QByteArray> made;
    const QMutexLocker lock(&mutex);
    QByteArray &gz = made[mib];
    if (gz.isEmpty()) {
        const QByteArray head = "<!DOCTYPE html><html><body>", blanks(1024 * 1024, ' ');
        z_stream z{};
        deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);  // raw: the gzip frame is ours
        auto deflated = [&z](const QByteArray &in, int flush) {
            QByteArray out(in.size() / 2 + 1024, '\0');
            z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
            z.avail_in = uInt(in.size());
            z.next_out = reinterpret_cast<Bytef *>(out.data());
            z.avail_out = uInt(out.size());
            deflate(&z, flush);
            out.truncate(out.size() - z.avail_out);
            return out;
        };
        gz = QByteArray("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10) + deflated(head, Z_FULL_FLUSH);
        const QByteArray mibOfBlanks = deflated(blanks, Z_FULL_FLUSH);
        for (int k = 0; k < mib; ++k)
            gz += mibOfBlanks;
        gz += deflated(QByteArray(), Z_FINISH);
        deflateEnd(&z);
        uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(head.constData()), uInt(head.size()));
        const uLong blanksCrc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(blanks.constData()), uInt(blanks.size()));
        for (int k = 0; k < mib; ++k)
            crc = crc32_combine(crc, blanksCrc, blanks.size());
        const quint32 trailer[2] = {qToLittleEndian(quint32(crc)), qToLittleEndian(quint32(head.size() + qint64(mib) * blanks.size()))};
        gz.append(reinterpret_cast<const char *>(trailer), sizeof trailer);
    }
    DemoResponse r = DemoResponse::bytes(gz, "text/html; charset=utf-8");
    r.headers.append(qMakePair(QByteArray("Content-Encoding"), QByteArray("gzip")));
    return r;
}
} // namespace

// Routes that misbehave on purpose, on every demo site:
//  "/_test/silent"        accepts the request and never answers.
//  "/_test/status/N"      a page with HTTP status N.
//  "/_test/gbk"           a page in GBK.
//  "/_test/bytes/N"       N bytes of data (at most 64 MiB).
//  "/_test/cut"           announces 1000 bytes more than it sends.
//  "/_test/flood"         an endless stream of HTML-ish text, as fast as the client
//                         takes it, without Content-Length; it ends when the client
//                         goes (or after two minutes).
//  "/_test/huge/M"        a page of M MiB (1 to 8192) of HTML-ish text with its
//                         Content-Length, streamed.
//  "/_test/slow"          a 120-byte page with its Content-Length, one byte a second
//                         (so two minutes at most, less when the client goes).
//  "/_test/longcell?PageNo=N"  page N of the melee listing "最新录像" (the same markup
//                         and detail URLs, which point at the site that served it:
//                         use it on the melee site), every row complete, the first
//                         row's players cell holding 1 MiB of plain text.
//  "/_test/endless?PageNo=N"  a melee listing that never ends: every page holds 20
//                         replays of its own (use it on the melee site).
//  "/_test/gzipbomb/M"    a page sent with "Content-Encoding: gzip" whose few
//                         hundred KiB inflate to M MiB (1 to 1024) of blanks.
// All streams are written as the socket drains, so the server holds little of them.
std::optional<DemoResponse> DemoTestRoute(const DemoRequest &r)
{
    const QByteArray path = r.path();
    if (!path.startsWith("/_test/"))
        return std::nullopt;
    const QByteArray head = "<!DOCTYPE html>\r\n<html><head><title>test</title></head><body>\r\n";
    const QByteArray tail = "\r\n</body></html>\r\n";
    if (path == "/_test/flood" || path.startsWith("/_test/huge/")) {
        QByteArray filler;
        while (filler.size() < 4096)
            filler += "<p>Sky VS Moon, Turtle Rock, 1.22: padding of a page that never seems to end.</p>\r\n";
        if (path == "/_test/flood")
            return DemoResponse::streamed(head, filler, tail, -1);
        const qint64 mib = qBound(1, path.mid(12).toInt(), 8192);
        return DemoResponse::streamed(head, filler, tail, mib * 1024 * 1024);
    }
    if (path == "/_test/slow") {
        DemoResponse slow = DemoResponse::streamed(head, ".", tail, 120);
        slow.streamPieceBytes = 1;
        slow.streamIntervalMs = 1000;
        slow.streamLimitMs = 125 * 1000;
        return slow;
    }
    if (path == "/_test/longcell") {
        QList<DemoMeleeReplay> all = DemoData::instance().melee;
        const int page = pageNumber(r);
        const qsizetype first = qsizetype(page - 1) * kDemoPageSize;
        for (DemoMeleeReplay &m : all)
            m.brokenItem = false;
        if (first < all.size()) {
            const QString word = QStringLiteral("LongName ");
            QString cell;
            cell.reserve(1024 * 1024 + word.size());
            while (cell.size() < 1024 * 1024)
                cell += word;
            cell.truncate(1024 * 1024);
            all[first].player1 = cell;
        }
        return DemoResponse::html(DemoSite::meleeListingPage(all, page, hostRoot(r)));
    }
    if (path == "/_test/endless") {
        const int page = pageNumber(r);
        QList<DemoMeleeReplay> rows = DemoData::instance().melee.mid(0, kDemoPageSize);
        for (int k = 0; k < rows.size(); ++k) {
            rows[k].id = 100000 + page * kDemoPageSize + k;
            rows[k].brokenItem = false;
        }
        return DemoResponse::html(DemoSite::meleeListingPage(rows, 1, hostRoot(r)));
    }
    if (path.startsWith("/_test/gzipbomb/"))
        return gzipBomb(qBound(1, path.mid(16).toInt(), 1024));
    if (path == "/_test/silent") {
        DemoResponse s;
        s.silent = true;
        return s;
    }
    if (path.startsWith("/_test/status/")) {
        const int code = path.mid(14).toInt();
        return DemoResponse::html(pageShell(QStringLiteral("错误"), QStringLiteral("<h1>错误 %1</h1><p>服务器出错了。</p>").arg(code)),
                                  code >= 100 && code <= 599 ? code : 500);
    }
    if (path == "/_test/gbk") {
        DemoResponse g;
        g.contentType = "text/html; charset=gbk";
        g.body = codepage::toNarrow(QStringLiteral("<html><body>魔兽争霸录像 GBK</body></html>")).value_or(QByteArray());
        return g;
    }
    if (path.startsWith("/_test/bytes/")) {
        const int n = qBound(0, path.mid(13).toInt(), 64 * 1024 * 1024);
        QByteArray data(n, '\0');
        for (int i = 0; i < n; ++i)
            data[i] = char((i * 31 + 7) & 0xFF);
        return DemoResponse::bytes(data);
    }
    if (path == "/_test/cut") {
        DemoResponse c = DemoResponse::html(QStringLiteral("<html><body>只到这里"));
        c.announcedLength = c.body.size() + 1000;
        return c;
    }
    return DemoResponse::notFound();
}

DemoSite::DemoSite(quint16 basePort)
{
    initDemoResources();
    auto port = [basePort](int k) { return basePort ? quint16(basePort + k) : quint16(0); };
    m_ok = m_server.listen(QStringLiteral("melee"), [this](const DemoRequest &r) { return melee(r); }, port(0))
        && m_server.listen(QStringLiteral("dota"), [this](const DemoRequest &r) { return dota(r); }, port(1))
        && m_server.listen(QStringLiteral("files"), [this](const DemoRequest &r) { return files(r); }, port(2));
}

SiteRoots DemoSite::roots() const
{
    SiteRoots r;
    r.melee = m_server.root(QStringLiteral("melee"));
    r.dota = m_server.root(QStringLiteral("dota"));
    const QString files = m_server.root(QStringLiteral("files"));
    r.dotaMap = files + QStringLiteral("/dota/");
    r.feed = files + QStringLiteral("/feed/announce.xml");
    return r;
}

