// The local replays: the replay folder's files, their rows and their details.
#include "local/localreplays.h"

#include "web/texthelpers.h"
#include "download/gamepath.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>

namespace {
// The header's fixed part: the 28-byte magic text, then the header size and the
// size of the whole replay as the file announces it.
constexpr qint64 kHeaderStart = 0x30;
constexpr qint64 kAnnouncedSizeAt = 0x20;

QString nameOf(const ReplayPlayer &p)
{
    return p.computer ? QStringLiteral("电脑") : p.name;
}

// The team numbers of the players (observers left out), lowest first.
QList<int> teamNumbers(const ReplayInfo &info)
{
    QList<int> teams;
    for (const ReplayPlayer &p : info.players)
        if (!p.observer && !teams.contains(p.team))
            teams.append(p.team);
    std::sort(teams.begin(), teams.end());
    return teams;
}
} // namespace

void SortNewestFirst(QList<LocalReplayFile> &files)
{
    std::stable_sort(files.begin(), files.end(), [](const LocalReplayFile &a, const LocalReplayFile &b) {
        if (a.modified != b.modified)
            return a.modified > b.modified;
        const int folded = a.fileName.compare(b.fileName, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a.fileName < b.fileName;
    });
}

QList<LocalReplayFile> LocalReplayFiles(const QString &gameFolder)
{
    QList<LocalReplayFile> files;
    const ResolvedPath folder = ResolveInGameFolder(gameFolder, QStringLiteral("replay"));
    if (!folder.ok())
        return files;
    for (const QString &pattern : {QStringLiteral("*.w3g"), QStringLiteral("*.nwg")}) {
        for (const QString &path : FindMatches(folder.path, pattern)) {
            const QFileInfo fi(path);
            files.append({path, fi.fileName(), fi.lastModified()});
        }
    }
    SortNewestFirst(files);
    return files;
}

ReplayInfo ReadLocalReplay(const QString &path, ReplayDepth depth)
{
    const QFileInfo fi(path);
    // Only regular files: a device or pipe put in the file's place would block the read.
    if (!fi.isFile() || fi.size() > kLocalReplayMaxBytes || fi.size() < kHeaderStart)
        return {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = f.read(kHeaderStart);
    if (bytes.size() != kHeaderStart)
        return {};
    qint64 wanted = fi.size();  // a NetEase file: all of it, the replay sits inside
    if (!IsNetEaseReplay(bytes)) {
        wanted = qFromLittleEndian<quint32>(bytes.constData() + kAnnouncedSizeAt);
        // Shorter than announced: cut off, and no read of the rest helps.
        if (wanted < kHeaderStart || wanted > fi.size())
            return {};
    }
    // A file that shrinks or vanishes meanwhile gives fewer bytes: unreadable.
    bytes += f.read(wanted - kHeaderStart);
    if (bytes.size() != wanted)
        return {};
    return ReadReplay(bytes, depth);
}

QString MapNameOf(const QString &mapPath)
{
    const QString file = LastPartOf(mapPath);
    const qsizetype dot = file.lastIndexOf(u'.');
    return dot > 0 ? file.left(dot) : file;
}

LocalReplayDetail LocalReplayDetailOf(const ReplayInfo &info)
{
    LocalReplayDetail d;
    d.mapName = ListCellText(MapNameOf(info.mapPath));
    d.length = ReplayLengthText(info.lengthMs);
    d.version = ReplayVersionText(info.version);
    d.summary = LocalReplaySummary(info);

    int count = 0;
    for (const ReplayPlayer &p : info.players)
        count += p.observer ? 0 : 1;
    d.playerCount = QString::number(count);

    const QList<int> teams = teamNumbers(info);
    for (int side = 0; side < 2 && side < teams.size(); ++side) {
        LocalTeam &t = d.teams[size_t(side)];
        t.present = true;
        int slot = 0;
        for (const ReplayPlayer &p : info.players) {
            if (p.observer || p.team != teams.at(side))
                continue;
            if (slot == 0)
                t.race = p.race;
            if (slot < 3)
                t.names[size_t(slot)] = ListCellText(nameOf(p));
            ++slot;
        }
    }
    return d;
}

QString LocalReplaySummary(const ReplayInfo &info)
{
    const QList<int> teams = teamNumbers(info);
    QStringList lines{QStringLiteral("游戏名称：") + info.gameName};
    const QString apm = QStringLiteral("  APM %1");
    for (const ReplayPlayer &p : info.players) {
        if (p.observer) {
            lines << nameOf(p) + QStringLiteral("  观察者");
            continue;
        }
        QString line = nameOf(p);
        if (const QString race = RaceText(p.race); !race.isEmpty())
            line += QStringLiteral("  ") + race;
        line += QStringLiteral("  队伍 %1").arg(teams.indexOf(p.team) + 1);
        if (info.whole && !p.computer)
            line += apm.arg(p.apm);
        lines << line;
    }
    if (info.whole) {
        QStringList winners;
        for (const ReplayPlayer &p : info.players)
            if (!p.observer && p.team == info.winningTeam)
                winners << nameOf(p);
        lines << (info.winningTeam < 0 ? QStringLiteral("胜方：未知")
                                       : QStringLiteral("胜方：队伍 %1（%2）").arg(teams.indexOf(info.winningTeam) + 1).arg(winners.join(QStringLiteral("、"))));
    }
    return lines.join(u'\n');
}

namespace {
// The numbers of a version text, in order: "1, 24, 4, 6387" and "1.24.4.6387" alike.
QList<int> versionNumbers(const QString &text)
{
    QList<int> numbers;
    static const QRegularExpression digits(QStringLiteral("\\d{1,9}"));
    for (auto it = digits.globalMatch(text); it.hasNext();)
        numbers << it.next().captured().toInt();
    return numbers;
}
} // namespace

bool LocalReplayFitsGame(int replayVersion, const QString &gameVersion)
{
    const QList<int> game = versionNumbers(gameVersion);
    if (game.size() < 2 || replayVersion <= 0)
        return false;
    const ReplayGameVersion replay = ReplayGameVersionOf(replayVersion);
    const int patch = game.value(2);
    if (game.at(0) != replay.major || game.at(1) != replay.minor)
        return false;
    if (replayVersion == 30)  // 1.30.0 and 1.30.1; from 1.30.2 on the file says 10030
        return patch <= 1;
    return patch >= replay.patch;
}

QString LocalReplayVersionMessage(int replayVersion, const QString &gameVersion)
{
    const QList<int> game = versionNumbers(gameVersion);
    QStringList parts;
    for (int i = 0; i < qMin<qsizetype>(3, game.size()); ++i)
        parts << QString::number(game.at(i));
    const QString shown = parts.isEmpty() ? QStringLiteral("未知") : parts.join(u'.');
    return QStringLiteral("录像版本 %1 与当前魔兽版本 %2 不对应！").arg(ReplayVersionText(replayVersion), shown);
}
