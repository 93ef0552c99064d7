#include "local/library.h"

#include "download/gamepath.h"
#include "local/lastreplay.h"
#include "local/localreplays.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>

namespace {
struct Stamp {
    qint64 size = 0;
    qint64 modifiedMs = 0;
    int recordVersion = 0;
};

struct Seen {
    qint64 size = -1;
    qint64 modifiedMs = 0;
    qint64 since = 0;  // on the worker's steady clock
};

// The canonical path of the game folder's replay folder; empty when there is none.
QString replayFolderOf(const QString &gameFolder)
{
    const ResolvedPath folder = ResolveInGameFolder(gameFolder, QStringLiteral("replay"));
    if (!folder.ok() || !QFileInfo(folder.path).isDir())
        return {};
    return QFileInfo(folder.path).canonicalFilePath();
}

bool isLastReplay(const QString &name)
{
    return name.compare(kLastReplayName, Qt::CaseInsensitive) == 0;
}
} // namespace

QString LibraryStatusText(int rows, bool searching, int done, int total, IndexProblem problem)
{
    QString text = done < total ? QStringLiteral("正在读取录像 %1/%2，").arg(done).arg(total) : QString();
    text += searching ? QStringLiteral("找到 %1 个录像").arg(rows) : QStringLiteral("共 %1 个录像").arg(rows);
    if (problem != IndexProblem::None)
        text = IndexProblemText(problem) + QStringLiteral("；") + text;
    return text;
}

// Lives on the library's own thread: lists the folder, reads new and changed
// files, keeps the index and hands each batch to the library.
class LibraryWorker : public QObject {
public:
    LibraryWorker(const QString &indexPath, std::shared_ptr<std::atomic<int>> reads,
                  std::shared_ptr<std::atomic<bool>> autoSave, LocalLibrary *owner)
        : m_indexPath(indexPath), m_reads(std::move(reads)), m_autoSave(std::move(autoSave)), m_owner(owner)
    {
        m_clock.start();
    }
    std::atomic<bool> cancelled{false};
    // The look the library waits for: an older one stops early (what it read is kept).
    std::atomic<quint64> wanted{0};

    void scan(quint64 generation, const QString &gameFolder, const QString &folder, bool reset,
              const QHash<QString, Stamp> &known)
    {
        if (reset) {
            m_known = known;
            m_seen.clear();
            // Opened anew on each open of the list: a lock since released, a file
            // since mended, are noticed.
            m_index = std::make_unique<ReplayIndex>(m_indexPath, 2000);
            m_index->Open();
            m_problem = m_index->Problem();
        }
        LibraryBatch batch;
        batch.generation = generation;
        batch.problem = m_problem;

        struct Todo {
            LocalReplayFile file;
            qint64 size;
            qint64 modifiedMs;
        };
        QList<Todo> todo;
        QSet<QString> present;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const QString inside = folder + u'/';
        for (const LocalReplayFile &file : LocalReplayFiles(gameFolder)) {
            const QFileInfo fi(file.path);
            // A link is followed only to a file inside the replay folder.
            if (fi.isSymLink() && !fi.canonicalFilePath().startsWith(inside))
                continue;
            const qint64 size = fi.size(), modified = fi.lastModified().toMSecsSinceEpoch();
            present.insert(file.fileName);
            const auto k = m_known.constFind(file.fileName);
            if (k != m_known.cend() && k->size == size && k->modifiedMs == modified
                && k->recordVersion == kReplayRecordVersion)
                continue;
            if (!settled(file.fileName, size, modified, now)) {
                batch.pending = true;
                continue;
            }
            todo.append({file, size, modified});
        }
        for (auto k = m_known.begin(); k != m_known.end();) {
            if (present.contains(k.key())) {
                ++k;
                continue;
            }
            batch.removed << k.key();
            m_seen.remove(k.key());
            k = m_known.erase(k);
        }

        batch.total = int(todo.size());
        QElapsedTimer sinceHanded;
        sinceHanded.start();
        int handed = 0;
        for (const Todo &t : std::as_const(todo)) {
            if (cancelled)
                return;
            if (wanted != generation)
                break;  // another folder or another open: this one is for nobody
            // Whole: the chat is searched, and a file damaged further in is unreadable.
            const ReplayInfo info = ReadLocalReplay(t.file.path, ReplayDepth::Whole);
            m_reads->fetch_add(1);
            ++batch.done;
            // Changed under the read, or unreadable while its writer may only have
            // paused: looked at again later.
            const QFileInfo after(t.file.path);
            if (after.size() != t.size || after.lastModified().toMSecsSinceEpoch() != t.modifiedMs
                || (!info.readable && now - t.modifiedMs < kLibraryGraceMs && after.exists())) {
                batch.pending = true;
                continue;
            }
            m_seen.remove(t.file.fileName);
            const ReplayRecord record = ReplayRecordOf(t.file.fileName, t.size, t.modifiedMs, info);
            m_known.insert(record.name, {record.size, record.modifiedMs, record.recordVersion});
            batch.records.append(record);
            if (m_autoSave->load() && isLastReplay(record.name)) {
                const QString saved = SaveReplayCopy(
                    t.file.path, folder,
                    SavedReplayName(QDateTime::fromMSecsSinceEpoch(t.modifiedMs), record.players,
                                    MapNameOf(record.map)));
                if (!saved.isEmpty())
                    batch.saved << saved;
            }
            // The first rows soon, then fewer, larger batches: each one costs the
            // window a pass over the whole list.
            if (sinceHanded.elapsed() >= (handed == 0 ? 250 : 1000)) {
                hand(folder, batch);
                sinceHanded.restart();
                ++handed;
            }
        }
        batch.last = true;
        hand(folder, batch);
    }

private:
    bool settled(const QString &name, qint64 size, qint64 modified, qint64 now)
    {
        if (now - modified >= kLibraryQuietMs)
            return true;
        Seen &seen = m_seen[name];
        if (seen.size != size || seen.modifiedMs != modified)
            seen = {size, modified, m_clock.elapsed()};
        return m_clock.elapsed() - seen.since >= kLibraryQuietMs;
    }

    // Saves the batch in the index, hands it to the library and starts the next one.
    void hand(const QString &folder, LibraryBatch &batch)
    {
        if (m_index && m_index->Usable() && !m_index->Save(folder, batch.records, batch.removed))
            m_problem = m_index->Problem();
        batch.problem = m_problem;
        LocalLibrary *owner = m_owner;
        QMetaObject::invokeMethod(owner, [owner, batch] { owner->onBatch(batch); }, Qt::QueuedConnection);
        batch.records.clear();
        batch.removed.clear();
        batch.saved.clear();
    }

    QString m_indexPath;
    std::shared_ptr<std::atomic<int>> m_reads;
    std::shared_ptr<std::atomic<bool>> m_autoSave;
    LocalLibrary *m_owner;
    std::unique_ptr<ReplayIndex> m_index;
    IndexProblem m_problem = IndexProblem::None;
    QHash<QString, Stamp> m_known;
    QHash<QString, Seen> m_seen;
    QElapsedTimer m_clock;

    friend class LocalLibrary;
};

LocalLibrary::LocalLibrary(const QString &indexPath, QObject *parent)
    : QObject(parent), m_indexPath(indexPath.isEmpty() ? DefaultIndexPath() : indexPath),
      m_reads(std::make_shared<std::atomic<int>>(0)), m_autoSave(std::make_shared<std::atomic<bool>>(false))
{
    m_worker = new LibraryWorker(m_indexPath, m_reads, m_autoSave, this);
    m_worker->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("local library"));
    m_thread.start(QThread::LowPriority);

    // A burst of changes in the folder is one look at it.
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(100);
    m_pollTimer.setSingleShot(true);
    m_pollTimer.setInterval(kLibraryPollMs);
    // Where the system tells nothing of a folder's changes (some network folders).
    m_rescan.setInterval(10000);
    for (QTimer *timer : {&m_debounce, &m_pollTimer, &m_rescan})
        connect(timer, &QTimer::timeout, this, [this] {
            if (!sleepIfUnwanted())
                requestScan(false);
        });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { m_debounce.start(); });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { m_debounce.start(); });
}

LocalLibrary::~LocalLibrary()
{
    m_worker->cancelled = true;
    LibraryWorker *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void LocalLibrary::Open(const QString &gameFolder, const QString &search)
{
    start(gameFolder, search, true);
}

void LocalLibrary::start(const QString &gameFolder, const QString &search, bool reset)
{
    ++m_generation;
    m_gameFolder = gameFolder;
    m_folder = replayFolderOf(gameFolder);
    m_search = ParseLibrarySearch(search);
    m_cells.clear();
    m_records.clear();
    m_done = m_total = 0;
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());

    // The index's rows at once, read on this thread: a short wait for a lock at most.
    m_problem = IndexProblem::None;
    if (!m_folder.isEmpty()) {
        ReplayIndex index(m_indexPath, 100);
        index.Open();
        if (index.Usable())
            m_records = index.Load(m_folder);
        m_problem = index.Problem();
        m_watcher.addPath(m_folder);
        watchLastReplay();
        m_rescan.start();
    }
    refresh(reset);
    m_scanning = false;  // a look still running belongs to the folder before
    requestScan(true);
}

void LocalLibrary::Search(const QString &words)
{
    m_search = ParseLibrarySearch(words);
    refresh(true);
}

void LocalLibrary::SetAutoSave(bool on, const QString &gameFolder)
{
    m_autoSave->store(on);
    if (on && !gameFolder.isEmpty() && (gameFolder != m_gameFolder || m_folder.isEmpty()))
        start(gameFolder, QString(), true);  // another game folder, or its replay folder made since
    else if (on)
        requestScan(false);
}

QString LocalLibrary::PathOf(int row) const
{
    if (row < 0 || row >= m_rows.size() || m_folder.isEmpty())
        return {};
    return m_folder + u'/' + m_rows.at(row).name;
}

void LocalLibrary::requestScan(bool reset)
{
    if (m_folder.isEmpty()) {
        setStatus();
        return;
    }
    m_resetDue = m_resetDue || reset;
    if (m_scanning) {
        m_scanDue = true;  // one more look once this one is over
        return;
    }
    m_scanning = true;
    m_scanDue = false;
    const bool fresh = m_resetDue;
    m_resetDue = false;
    QHash<QString, Stamp> known;
    if (fresh) {
        known.reserve(m_records.size());
        for (const ReplayRecord &r : std::as_const(m_records))
            known.insert(r.name, {r.size, r.modifiedMs, r.recordVersion});
    }
    LibraryWorker *worker = m_worker;
    const quint64 generation = m_generation;
    worker->wanted = generation;
    const QString gameFolder = m_gameFolder, folder = m_folder;
    QMetaObject::invokeMethod(
        worker, [=] { worker->scan(generation, gameFolder, folder, fresh, known); }, Qt::QueuedConnection);
}

void LocalLibrary::onBatch(const LibraryBatch &batch)
{
    if (batch.generation != m_generation)
        return;  // a look at the folder shown before
    for (const QString &name : batch.removed) {
        m_records.remove(name);
        m_cells.remove(name);
    }
    for (const ReplayRecord &r : batch.records) {
        m_records.insert(r.name, r);
        m_cells.remove(r.name);
    }
    // The index's own trouble when there is any; what the window's read found otherwise.
    if (batch.problem != IndexProblem::None)
        m_problem = batch.problem;
    m_done = batch.done;
    m_total = batch.total;
    if (!batch.records.isEmpty() || !batch.removed.isEmpty())
        refresh(false);
    else
        setStatus();
    for (const QString &name : batch.saved)
        emit ReplaySaved(name);
    if (!batch.last)
        return;
    m_scanning = false;
    watchLastReplay();
    if (m_scanDue)
        requestScan(false);
    else if (batch.pending)
        m_pollTimer.start();
}

void LocalLibrary::refresh(bool reset)
{
    QList<LibraryRow> next = LibraryRows(m_records, m_search, m_cells);
    if (reset) {
        m_rows = std::move(next);
        emit RowsReset();
    } else {
        const QList<ListEdit> edits = ListEdits(m_rows, next);
        m_rows = std::move(next);
        if (!edits.isEmpty())
            emit RowsEdited(edits);
    }
    setStatus();
}

void LocalLibrary::setStatus()
{
    const QString text = m_folder.isEmpty() && !m_gameFolder.isEmpty()
        ? QStringLiteral("魔兽目录中没有录像文件夹")
        : LibraryStatusText(int(m_rows.size()), !m_search.empty(), m_done, m_total, m_problem);
    if (text == m_status)
        return;
    m_status = text;
    emit StatusChanged(text);
}

bool LocalLibrary::sleepIfUnwanted()
{
    if (m_autoSave->load() || !Shown || Shown())
        return false;
    m_worker->wanted = ++m_generation;  // a look still running is for nobody
    m_scanning = m_scanDue = false;
    m_debounce.stop();
    m_pollTimer.stop();
    m_rescan.stop();
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    m_folder.clear();
    m_gameFolder.clear();
    return true;
}

void LocalLibrary::watchLastReplay()
{
    // The game writes LastReplay.w3g over itself: a folder watch may not see that.
    const QString path = QDir(m_folder).filePath(kLastReplayName);
    if (!m_folder.isEmpty() && QFileInfo::exists(path) && !m_watcher.files().contains(path))
        m_watcher.addPath(path);
}
