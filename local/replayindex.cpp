#include "local/replayindex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <atomic>

namespace {
// Each step brings the schema from version i to i + 1; a new version only adds a step.
const char *const kMigrations[] = {
    // 0 -> 1
    "CREATE TABLE folders(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE);"
    "CREATE TABLE replays("
    " folder INTEGER NOT NULL REFERENCES folders(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL, size INTEGER NOT NULL, modified INTEGER NOT NULL, record INTEGER NOT NULL,"
    " readable INTEGER NOT NULL, matchup TEXT, players TEXT, map TEXT, game_name TEXT, names TEXT,"
    " team_races TEXT, chat TEXT, seed INTEGER, length_ms INTEGER, version INTEGER, game_key TEXT,"
    " PRIMARY KEY(folder, name)) WITHOUT ROWID;",
};
static_assert(std::size(kMigrations) == kIndexSchemaVersion);

IndexProblem problemOf(const QSqlError &e)
{
    bool ok = false;
    const int extended = e.nativeErrorCode().toInt(&ok);
    if (!ok)
        return IndexProblem::CannotOpen;
    // The shared-memory file beside a WAL index cannot grow: on a full disk this
    // comes before any write of the index itself.
    if (extended == 4874)  // SQLITE_IOERR_SHMSIZE
        return IndexProblem::DiskFull;
    switch (extended & 0xff) {  // primary result code
    case 5:  // SQLITE_BUSY
    case 6:  // SQLITE_LOCKED
        return IndexProblem::Locked;
    case 11:  // SQLITE_CORRUPT
    case 26:  // SQLITE_NOTADB
        return IndexProblem::Damaged;
    case 13: return IndexProblem::DiskFull;  // SQLITE_FULL
    case 8: return IndexProblem::ReadOnly;   // SQLITE_READONLY
    default: return IndexProblem::CannotOpen;
    }
}

QString nextConnectionName()
{
    static std::atomic<int> serial{0};
    return QStringLiteral("quillmark-index-%1").arg(++serial);
}

// Splits a script at ";" (our own statements hold none inside them).
QStringList statements(const char *script)
{
    QStringList out;
    for (const QString &s : QString::fromLatin1(script).split(u';'))
        if (!s.trimmed().isEmpty())
            out << s;
    return out;
}
} // namespace

QString IndexProblemText(IndexProblem problem)
{
    switch (problem) {
    case IndexProblem::None: return {};
    case IndexProblem::CannotOpen: return QStringLiteral("录像索引无法打开，已直接读取录像文件");
    case IndexProblem::Damaged: return QStringLiteral("录像索引已损坏，已直接读取录像文件");
    case IndexProblem::Locked: return QStringLiteral("录像索引被其他程序占用，已直接读取录像文件");
    case IndexProblem::NewerSchema: return QStringLiteral("录像索引来自更新版本的 Quillmark，已直接读取录像文件");
    case IndexProblem::DiskFull: return QStringLiteral("磁盘已满，录像索引未能保存");
    case IndexProblem::ReadOnly: return QStringLiteral("录像索引不能写入，新读取的录像未能保存");
    case IndexProblem::Rebuilt: return QStringLiteral("录像索引已损坏，已重新建立");
    }
    return {};
}

QString DefaultIndexPath()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? QString() : QDir(data).filePath(QStringLiteral("library.sqlite"));
}

ReplayIndex::ReplayIndex(const QString &databasePath, int busyMs)
    : m_connection(nextConnectionName()), m_path(databasePath), m_busyMs(busyMs)
{
}

ReplayIndex::~ReplayIndex()
{
    close();
}

void ReplayIndex::close()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

// The damaged file and its journal files go under the name kept for them (an
// older damaged one is replaced): the next open makes a new index. The journal
// goes first: one left behind would be played into the new file.
bool ReplayIndex::setAside()
{
    close();
    const QString aside = m_path + QLatin1String(kDamagedIndexSuffix);
    for (const QString &ending : {QStringLiteral("-wal"), QStringLiteral("-shm"), QString()}) {
        QFile::remove(aside + ending);
        if (QFileInfo::exists(m_path + ending) && !QFile::rename(m_path + ending, aside + ending))
            return false;
    }
    return true;
}

IndexProblem ReplayIndex::fail(IndexProblem p)
{
    // A file that cannot be opened for writing is one the user made read-only.
    if (p == IndexProblem::CannotOpen && QFileInfo(m_path).isFile() && !QFileInfo(m_path).isWritable())
        p = IndexProblem::ReadOnly;
    m_problem = p;
    return p;
}

// The index is a cache of what the replay files say: a damaged one is set aside
// once and made anew, rather than read past on every open of the list.
IndexProblem ReplayIndex::Open()
{
    if (openOnce() != IndexProblem::Damaged)
        return m_problem;
    if (!setAside())
        return fail(IndexProblem::Damaged);
    return openOnce() == IndexProblem::None ? fail(IndexProblem::Rebuilt) : m_problem;
}

IndexProblem ReplayIndex::openOnce()
{
    close();
    if (m_path.isEmpty() || !QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return fail(IndexProblem::CannotOpen);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!db.isValid())
        return fail(IndexProblem::CannotOpen);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyMs));
    if (!db.open())
        return fail(problemOf(db.lastError()));

    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return fail(problemOf(q.lastError()));
    const int version = q.value(0).toInt();
    q.finish();
    if (version > kIndexSchemaVersion)
        return fail(IndexProblem::NewerSchema);
    if (version < kIndexSchemaVersion) {
        // One transaction: a crash half-way leaves the older version whole. The
        // version is read again inside it: another connection may have migrated.
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
            return fail(problemOf(q.lastError()));
        if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
            const IndexProblem p = problemOf(q.lastError());
            q.exec(QStringLiteral("ROLLBACK"));
            return fail(p);
        }
        const int now = q.value(0).toInt();
        q.finish();
        if (now > kIndexSchemaVersion) {
            q.exec(QStringLiteral("ROLLBACK"));
            return fail(IndexProblem::NewerSchema);
        }
        for (int step = now; step < kIndexSchemaVersion; ++step)
            for (const QString &statement : statements(kMigrations[step]))
                if (!q.exec(statement)) {
                    const IndexProblem p = problemOf(q.lastError());
                    q.exec(QStringLiteral("ROLLBACK"));
                    return fail(p);
                }
        if (!q.exec(QStringLiteral("PRAGMA user_version = %1").arg(kIndexSchemaVersion))
            || !q.exec(QStringLiteral("COMMIT"))) {
            const IndexProblem p = problemOf(q.lastError());
            q.exec(QStringLiteral("ROLLBACK"));
            return fail(p);
        }
    }
    // The window reads while the reader thread writes: readers never wait in WAL.
    // A file that cannot take it (read-only) keeps its journal.
    q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    q.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    return fail(IndexProblem::None);
}

qint64 ReplayIndex::folderId(const QString &folder, bool create)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    if (create) {
        q.prepare(QStringLiteral("INSERT OR IGNORE INTO folders(path) VALUES(?)"));
        q.addBindValue(folder);
        if (!q.exec()) {
            fail(problemOf(q.lastError()));
            return -1;
        }
    }
    q.prepare(QStringLiteral("SELECT id FROM folders WHERE path = ?"));
    q.addBindValue(folder);
    if (!q.exec()) {
        fail(problemOf(q.lastError()));
        return -1;
    }
    return q.next() ? q.value(0).toLongLong() : 0;
}

QHash<QString, ReplayRecord> ReplayIndex::Load(const QString &folder)
{
    QHash<QString, ReplayRecord> records;
    if (!Usable())
        return records;
    const qint64 id = folderId(folder, false);
    if (id <= 0)
        return records;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT name, size, modified, record, readable, matchup, players, map, game_name, names, team_races,"
        " chat, seed, length_ms, version, game_key FROM replays WHERE folder = ?"));
    q.addBindValue(id);
    if (!q.exec()) {
        fail(problemOf(q.lastError()));
        return records;
    }
    while (q.next()) {
        ReplayRecord r;
        r.name = q.value(0).toString();
        r.size = q.value(1).toLongLong();
        r.modifiedMs = q.value(2).toLongLong();
        r.recordVersion = q.value(3).toInt();
        r.readable = q.value(4).toBool();
        r.matchup = q.value(5).toString();
        r.players = q.value(6).toString();
        r.map = q.value(7).toString();
        r.gameName = q.value(8).toString();
        r.names = q.value(9).toString();
        r.teamRaces = q.value(10).toString();
        r.chat = q.value(11).toString();
        r.seed = quint32(q.value(12).toLongLong());
        r.lengthMs = q.value(13).toLongLong();
        r.version = q.value(14).toInt();
        r.gameKey = q.value(15).toString();
        records.insert(r.name, r);
    }
    if (q.lastError().isValid()) {
        fail(problemOf(q.lastError()));
        return {};
    }
    return records;
}

bool ReplayIndex::Save(const QString &folder, const QList<ReplayRecord> &records, const QStringList &removed)
{
    if (!Usable())
        return false;
    if (records.isEmpty() && removed.isEmpty())
        return true;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        fail(problemOf(q.lastError()));
        return false;
    }
    auto rollback = [&](const QSqlError &e) {
        const IndexProblem p = problemOf(e);
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        fail(p);
        return false;
    };
    const qint64 id = folderId(folder, true);
    if (id <= 0)
        return rollback(QSqlQuery(db).lastError());
    if (!removed.isEmpty()) {
        q.prepare(QStringLiteral("DELETE FROM replays WHERE folder = ? AND name = ?"));
        for (const QString &name : removed) {
            q.bindValue(0, id);
            q.bindValue(1, name);
            if (!q.exec())
                return rollback(q.lastError());
        }
    }
    if (!records.isEmpty()) {
        q.prepare(QStringLiteral(
            "INSERT OR REPLACE INTO replays(folder, name, size, modified, record, readable, matchup, players, map,"
            " game_name, names, team_races, chat, seed, length_ms, version, game_key)"
            " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const ReplayRecord &r : records) {
            const QVariant values[] = {id, r.name, r.size, r.modifiedMs, r.recordVersion, int(r.readable),
                                       r.matchup, r.players, r.map, r.gameName, r.names, r.teamRaces, r.chat,
                                       qint64(r.seed), r.lengthMs, r.version, r.gameKey};
            for (int i = 0; i < int(std::size(values)); ++i)
                q.bindValue(i, values[i]);
            if (!q.exec())
                return rollback(q.lastError());
        }
    }
    if (!q.exec(QStringLiteral("COMMIT")))
        return rollback(q.lastError());
    return true;
}
