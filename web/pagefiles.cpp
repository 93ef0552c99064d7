#include "web/pagefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

PageFiles::PageFiles(QString folder) : m_folder(std::move(folder)), m_folderWasThere(QFileInfo::exists(m_folder)) {}

QString PageFiles::defaultFolder()
{
    const QString fromEnv = qEnvironmentVariable("QUILLMARK_PAGE_DIR");
    if (!fromEnv.isEmpty())
        return fromEnv;
    QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (cache.isEmpty())
        cache = QDir::tempPath() + QStringLiteral("/quillmark");
    return cache;
}

QString PageFiles::path(const QString &name) const
{
    return QDir(m_folder).filePath(name);
}

bool PageFiles::exists(const QString &name) const
{
    return QFile::exists(path(name));
}

FetchResult PageFiles::URLDownloadToFile(const QString &url, const QString &name) const
{
    QDir().mkpath(m_folder);
    QSaveFile out(path(name));
    if (!out.open(QIODevice::WriteOnly)) {
        FetchResult r;
        r.status = FetchResult::Status::StoreFailed;
        r.error = out.errorString();
        return r;
    }
    // BlockingGet hands over at most kMaxPageBytes; a larger page fails as TooLarge
    // and, like every failed fetch, leaves the page file as it was.
    FetchResult r = BlockingGet(url, m_timeoutMs, [&out](const QByteArray &piece) {
        return out.write(piece) == piece.size();
    }, kMaxPageBytes);
    if (r.ok()) {
        if (!out.commit()) {
            r.status = FetchResult::Status::StoreFailed;
            r.error = out.errorString();
        }
    } else {
        out.cancelWriting();
    }
    return r;
}

QString PageFiles::ReadFile(const QString &name) const
{
    QFile in(path(name));
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    QByteArray bytes = in.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    return QString::fromUtf8(bytes);
}

QString PageFiles::FetchPage(const QString &url, const QString &name, FetchResult *outcome) const
{
    const FetchResult r = URLDownloadToFile(url, name);
    if (outcome)
        *outcome = r;
    if (!r.ok()) {
        qInfo("page fetch failed: %s: %s", qPrintable(url), qPrintable(r.error));
        return QString();
    }
    return ReadFile(name);
}

void PageFiles::RemovePageFiles() const
{
    // Case-free match: an older run may have left "FD.dat" behind.
    const QDir dir(m_folder);
    const QStringList present = dir.entryList(QDir::Files);
    for (const QString &entry : present) {
        if (entry.compare(kPageFile, Qt::CaseInsensitive) == 0
            || entry.compare(kIndexPageFile, Qt::CaseInsensitive) == 0)
            QFile::remove(dir.filePath(entry));
    }
    if (!m_folderWasThere)
        QDir().rmdir(m_folder);  // only an empty folder is removed
}
