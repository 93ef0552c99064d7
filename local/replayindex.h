#pragma once
// The local library's index on disk: one SQLite file in the user's data folder
// that keeps the record of every replay read, per replay folder, keyed by the
// file's name, size and modified time. A cache: whatever goes wrong with it, the
// replays are read from their files instead and the caller is told why.
#include "local/replayrecord.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The schema version in PRAGMA user_version; Migrate() brings every older one here.
constexpr int kIndexSchemaVersion = 1;

enum class IndexProblem {
    None,
    CannotOpen,   // the data folder or the file cannot be opened or made
    Damaged,      // not a database, or a damaged one
    Locked,       // another program holds it
    NewerSchema,  // written by a newer Quillmark
    DiskFull,     // a write found the disk full
    ReadOnly,     // the file or its folder cannot be written
    Rebuilt,      // a damaged one was set aside (kDamagedIndexSuffix) and made anew: usable
};

// A damaged index is renamed to its own name with this ending, not deleted: the
// user (or whoever looks into it) still has it.
inline constexpr char kDamagedIndexSuffix[] = ".damaged";

// Why the list reads the files themselves, in the user's words; empty for None.
QString IndexProblemText(IndexProblem problem);

// "<AppDataLocation>/library.sqlite"; empty when the system names no data folder.
QString DefaultIndexPath();

class ReplayIndex {
public:
    // `busyMs`: how long a statement waits for another program's lock.
    ReplayIndex(const QString &databasePath, int busyMs);
    ~ReplayIndex();
    ReplayIndex(const ReplayIndex &) = delete;
    ReplayIndex &operator=(const ReplayIndex &) = delete;

    // Opens (creating or migrating it when needed); None, or Rebuilt when a damaged
    // file was set aside and a new one made, when it can be used.
    IndexProblem Open();
    IndexProblem Problem() const { return m_problem; }
    bool Usable() const { return m_problem == IndexProblem::None || m_problem == IndexProblem::Rebuilt; }

    // The records of the replay folder `folder` (its canonical path), by file name.
    QHash<QString, ReplayRecord> Load(const QString &folder);
    // One transaction: `records` written over rows of the same name, `removed` gone.
    // False (and Problem() says why) when nothing was written.
    bool Save(const QString &folder, const QList<ReplayRecord> &records, const QStringList &removed);

private:
    IndexProblem fail(IndexProblem p);
    IndexProblem openOnce();
    void close();
    bool setAside();
    qint64 folderId(const QString &folder, bool create);
    QString m_connection;
    QString m_path;
    int m_busyMs;
    IndexProblem m_problem = IndexProblem::CannotOpen;
};
