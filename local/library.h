#pragma once
// The local library: the replays of the game's replay folder as the list shows
// them, from the index on disk at once, then kept up to date by a reader thread
// that reads only new and changed files and watches the folder while it is open.
// No widgets: the window binds Rows() and the edits to its list.
#include "local/librarylist.h"
#include "local/replayindex.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

// A file is read once its size and modified time have stayed the same this long
// (or its modified time is this old): a replay still being written is not read.
constexpr int kLibraryQuietMs = 600;
// How often files still being written are looked at again.
constexpr int kLibraryPollMs = 250;
// An unreadable file written this recently may be one whose writer paused: it is
// looked at again instead of being listed as unreadable.
constexpr int kLibraryGraceMs = 5000;

// What the reader thread found in one look at the folder.
struct LibraryBatch {
    quint64 generation = 0;
    QList<ReplayRecord> records;  // new or changed
    QStringList removed;          // file names gone
    QStringList saved;            // copies of LastReplay.w3g written
    IndexProblem problem = IndexProblem::None;
    int done = 0, total = 0;      // files read so far / to read in this look
    bool last = false;            // the look is over
    bool pending = false;         // files still being written: look again soon
};

// The status line's text: reading progress, the count shown, the index's trouble.
QString LibraryStatusText(int rows, bool searching, int done, int total, IndexProblem problem);

class LibraryWorker;

class LocalLibrary : public QObject {
    Q_OBJECT
public:
    // `indexPath`: the index file; DefaultIndexPath() when empty.
    explicit LocalLibrary(const QString &indexPath = QString(), QObject *parent = nullptr);
    ~LocalLibrary() override;

    // Lists the replays of the game folder's replay folder: the index's rows at
    // once (RowsReset), then files read anew (RowsEdited); `search` filters them
    // (empty: all). Watches the folder from then on.
    void Open(const QString &gameFolder, const QString &search = QString());
    // Filters the rows shown by `words` (empty: all), from the records held.
    void Search(const QString &words);
    // Copies of each new LastReplay.w3g; while on, the folder is watched even
    // when the list shows something else. A `gameFolder` other than the one
    // open is opened (empty: the one open).
    void SetAutoSave(bool on, const QString &gameFolder = QString());
    bool AutoSave() const { return m_autoSave->load(); }

    const QList<LibraryRow> &Rows() const { return m_rows; }
    // Full path of the copy row `row` shows.
    QString PathOf(int row) const;
    QString Status() const { return m_status; }
    IndexProblem Problem() const { return m_problem; }
    // Replay files read since this library was made (the index spares the rest).
    int FileReads() const { return m_reads->load(); }
    // A look at the folder is running or due.
    bool Busy() const { return m_scanning || m_scanDue || m_pollTimer.isActive() || m_debounce.isActive(); }
    QString ReplayFolder() const { return m_folder; }

    // Whether the list shows the library now; when it says no and AutoSave() is
    // off, the folder is no longer watched (until the next Open).
    std::function<bool()> Shown;

signals:
    void RowsReset();
    // Made in order on the rows shown before, they give Rows().
    void RowsEdited(const QList<ListEdit> &edits);
    void StatusChanged(const QString &text);
    void ReplaySaved(const QString &fileName);

private:
    friend class LibraryWorker;
    void start(const QString &gameFolder, const QString &search, bool reset);
    void requestScan(bool reset);
    void onBatch(const LibraryBatch &batch);
    void refresh(bool reset);
    void setStatus();
    void watchLastReplay();
    bool sleepIfUnwanted();

    QString m_indexPath;
    QString m_gameFolder;
    QString m_folder;            // canonical path of the replay folder; empty when there is none
    quint64 m_generation = 0;
    QHash<QString, ReplayRecord> m_records;
    QHash<QString, LocalReplayRow> m_cells;  // row cells of single copies, by file name
    LibrarySearch m_search;
    QList<LibraryRow> m_rows;
    QString m_status;
    IndexProblem m_problem = IndexProblem::None;
    int m_done = 0, m_total = 0;
    bool m_scanning = false, m_scanDue = false, m_resetDue = false;
    QFileSystemWatcher m_watcher;
    QTimer m_debounce, m_pollTimer, m_rescan;
    std::shared_ptr<std::atomic<int>> m_reads;
    std::shared_ptr<std::atomic<bool>> m_autoSave;
    QThread m_thread;
    LibraryWorker *m_worker = nullptr;
};
