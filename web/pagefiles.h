#pragma once
// The page files: every listing and detail page goes through "FD.Dat", the DotA
// map download index through "FDx.Dat". They live in a folder of the tool's own
// (never the user's working directory, where files of those names may be theirs).
#include "web/httpget.h"

#include <QString>

inline const QString kPageFile = QStringLiteral("FD.Dat");
inline const QString kIndexPageFile = QStringLiteral("FDx.Dat");

class PageFiles {
public:
    explicit PageFiles(QString folder);

    // QUILLMARK_PAGE_DIR when set, else the user's cache location for the tool.
    static QString defaultFolder();

    QString folder() const { return m_folder; }
    QString path(const QString &name) const;
    bool exists(const QString &name) const;

    // The file road's download: the page file is replaced only by a page that
    // arrived whole with a success status and within kMaxPageBytes (larger is
    // TooLarge); otherwise it keeps its old content.
    FetchResult URLDownloadToFile(const QString &url, const QString &name) const;

    // The whole page file decoded as UTF-8; empty text when it cannot be read.
    QString ReadFile(const QString &name) const;

    // Download, then read back. A failed fetch gives empty text, so a caller never
    // parses an older page as if it were the new one.
    QString FetchPage(const QString &url, const QString &name, FetchResult *outcome = nullptr) const;

    // Removes the two page files (shut-down); missing files are fine. The folder
    // goes too when this run made it and nothing else is in it.
    void RemovePageFiles() const;

    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    QString m_folder;
    bool m_folderWasThere = false;  // before this run: the folder is not the run's to remove
    int m_timeoutMs = 20000;
};
