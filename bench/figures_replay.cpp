// The replay reader: a whole read (every block inflated and checked, every action
// walked) of the real replays of the tests, against inflating the same blocks
// alone with zlib, the least any reader must do. Where node and the npm package
// w3gjs are present (the bench installs neither), the same files through it, by
// scripts/w3gjs-bench.js.
#include "bench/bench.h"

#include "details/replayfile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>
#include <cstdio>
#include <zlib.h>

namespace {
constexpr int kRounds = 30;

QStringList realReplays()
{
    QStringList paths;
    QDirIterator it(QStringLiteral(QUILLMARK_SOURCE_DIR "/tests/data/real-replays"), {QStringLiteral("*.w3g"), QStringLiteral("*.nwg")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    return paths;
}

// Inflates every block of the replay in `bytes` with one zlib stream object,
// nothing checked, nothing parsed; the bytes it gave.
qint64 inflateAlone(const QByteArray &bytes, z_stream &z, QByteArray &out)
{
    const qsizetype start = ReplayStartIn(bytes);
    if (start < 0 || bytes.size() < start + 0x44)
        return 0;
    const char *h = bytes.constData() + start;
    const quint32 headerSize = qFromLittleEndian<quint32>(h + 0x1C), blocks = qFromLittleEndian<quint32>(h + 0x2C);
    const int version = qFromLittleEndian<quint32>(h + 0x24) == 0 ? qFromLittleEndian<quint16>(h + 0x32) : int(qFromLittleEndian<quint32>(h + 0x34));
    const bool wide = version >= 10032;
    qsizetype at = start + headerSize;
    qint64 total = 0;
    for (quint32 i = 0; i < blocks && at + 12 <= bytes.size(); ++i) {
        const char *b = bytes.constData() + at;
        const quint32 packed = wide ? qFromLittleEndian<quint32>(b) : qFromLittleEndian<quint16>(b);
        const quint32 size = wide ? qFromLittleEndian<quint32>(b + 4) : qFromLittleEndian<quint16>(b + 2);
        at += wide ? 12 : 8;
        if (at + packed > bytes.size() || size > quint32(out.size()))
            break;
        inflateReset(&z);
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.constData() + at));
        z.avail_in = packed;
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = size;
        inflate(&z, Z_FINISH);
        total += size - z.avail_out;
        at += packed;
    }
    return total;
}

// Best of `rounds` rounds over all files, in milliseconds per round.
double best(int rounds, const std::function<qint64()> &round)
{
    double bestMs = -1;
    qint64 sink = 0;
    for (int r = 0; r < rounds; ++r) {
        const auto start = BenchClock::now();
        sink += round();
        const double ms = MsSince(start);
        if (bestMs < 0 || ms < bestMs)
            bestMs = ms;
    }
    if (sink == 0)
        std::fprintf(stderr, "(nothing read)\n");
    return bestMs;
}

// Milliseconds per round of w3gjs over `paths`, or a negative value when node,
// w3gjs or the script is missing; `skipped` gets the files w3gjs cannot read.
double w3gjsMs(const QStringList &paths, QStringList &skipped)
{
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    const QString script = QStringLiteral(QUILLMARK_SOURCE_DIR "/scripts/w3gjs-bench.js");
    if (node.isEmpty() || !QFile::exists(script))
        return -1;
    QProcess p;
    p.start(node, QStringList{script, QStringLiteral("bench"), QString::number(kRounds)} + paths);
    if (!p.waitForFinished(120 * 1000) || p.exitCode() != 0)
        return -1;
    double ms = -1;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        if (line.startsWith("SKIP "))
            skipped << QString::fromLocal8Bit(line.mid(5).trimmed());
        else if (line.startsWith("MS "))
            ms = line.mid(3).trimmed().toDouble();
    }
    return ms;
}
} // namespace

// Best milliseconds per round of a whole read of `files`.
double readMs(const QList<QByteArray> &files)
{
    const auto readRound = [&] {
        qint64 n = 0;
        for (const QByteArray &f : files) {
            const ReplayInfo info = ReadReplay(f, ReplayDepth::Whole);
            for (const ReplayPlayer &p : info.players)
                n += p.actions + 1;
        }
        return n;
    };
    best(3, readRound);  // warm-up
    return best(kRounds, readRound);
}

void FigureReplay()
{
    const QStringList paths = realReplays();
    QList<QByteArray> files;
    qint64 bytes = 0;
    for (const QString &path : paths) {
        QFile f(path);
        files << (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray());
        bytes += files.last().size();
    }
    z_stream z{};
    inflateInit(&z);
    QByteArray out(1 << 20, Qt::Uninitialized);
    const auto inflateRound = [&] {
        qint64 n = 0;
        for (const QByteArray &f : files)
            n += inflateAlone(f, z, out);
        return n;
    };
    best(3, inflateRound);  // warm-up
    const double inflateMs = best(kRounds, inflateRound);
    inflateEnd(&z);
    const double ours = readMs(files);
    const double ratio = inflateMs / ours;
    const QString what = QStringLiteral("whole read of the %1 real replays (%2 KiB): speed against zlib").arg(files.size()).arg(bytes / 1024);
    EmitRow({what, Ms(ours), Ms(inflateMs) + QStringLiteral(" inflating the blocks alone"), Ratio(ratio), QStringLiteral("≥ 0.50×"),
             int(ratio >= 0.5)});

    QStringList skipped;
    const double w3gjs = w3gjsMs(paths, skipped);
    if (w3gjs < 0) {
        EmitRow({QStringLiteral("  the same files through w3gjs"), QStringLiteral("skipped"), QStringLiteral("node and w3gjs not present"),
                 QString(), QStringLiteral("≥ 20×"), -1});
        return;
    }
    // Only the files w3gjs reads, on both sides.
    QList<QByteArray> same;
    for (int i = 0; i < paths.size(); ++i)
        if (!skipped.contains(paths.at(i)))
            same << files.at(i);
    const double oursSame = readMs(same);
    EmitRow({QStringLiteral("  the %1 of them w3gjs reads, through w3gjs (node): our speed against it").arg(same.size()), Ms(oursSame),
             Ms(w3gjs) + QStringLiteral(" w3gjs"), Ratio(w3gjs / oursSame), QStringLiteral("≥ 20.00×"), int(w3gjs / oursSame >= 20)});
}

int ReplayApm(const QStringList &paths)
{
    for (const QString &path : paths) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const ReplayInfo info = ReadReplay(f.readAll(), ReplayDepth::Whole);
        for (const ReplayPlayer &p : info.players)
            if (!p.observer && !p.computer)
                std::printf("%s\t%s\t%d\n", QFileInfo(path).fileName().toUtf8().constData(), p.name.toUtf8().constData(), p.apm);
    }
    return 0;
}
