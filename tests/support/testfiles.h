#pragma once
// Small helpers shared by the tests: files in temporary folders, the demo game
// folder, fetching a page or file from the demo site, readable QString output.
#include "web/httpget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toUtf8().toStdString() << '"'; }

inline QString u8s(const char *utf8) { return QString::fromUtf8(utf8); }

// The whole file, or nothing when it cannot be read.
inline QByteArray ReadBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes `bytes` to `path`, creating its folder.
inline void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

// Every file below `folder`, relative, "/" between the parts, sorted.
inline QStringList FilesBelow(const QString &folder)
{
    QStringList out;
    for (const QFileInfo &fi : QDir(folder).entryInfoList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (!fi.isDir())
            out << fi.fileName();
        else
            for (const QString &inner : FilesBelow(fi.filePath()))
                out << fi.fileName() + u'/' + inner;
    }
    out.sort();
    return out;
}

// Every file below `folder` (as FilesBelow names it) with its bytes: a picture to
// compare before and after a step that must not touch them.
inline QMap<QString, QByteArray> FileBytesBelow(const QString &folder)
{
    QMap<QString, QByteArray> out;
    for (const QString &f : FilesBelow(folder))
        out.insert(f, ReadBytes(QDir(folder).filePath(f)));
    return out;
}

// The body of a GET of `url` (empty when it fails), with its outcome in `result`.
inline QByteArray FetchBody(const QString &url, FetchResult *result = nullptr)
{
    QByteArray body;
    const FetchResult r = BlockingGet(url, 10000, [&](const QByteArray &piece) {
        body += piece;
        return true;
    }, 64 * 1024 * 1024);
    if (result)
        *result = r;
    return body;
}

#ifdef QUILLMARK_DEMO_GAME_DIR
// Copies the demo game's Game.dll and War3.exe into `folder`.
inline void CopyDemoGame(const QString &folder)
{
    for (const char *name : {"Game.dll", "War3.exe"})
        ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLMARK_DEMO_GAME_DIR "/") + QLatin1String(name),
                                QDir(folder).filePath(QLatin1String(name))));
}

// Copies the demo game into `folder` and chooses its War3.exe as the game path of
// the window `w` (a TestWindow); the version read from its Game.dll is 1.24.4.6387.
// Clears the messages.
template <typename Window> void ChooseDemoGame(Window &w, const QString &folder)
{
    CopyDemoGame(folder);
    w.dialogs.openFileAnswers.push_back(QDir(folder).filePath(QStringLiteral("War3.exe")));
    w->Command2_Click();
    ASSERT_EQ(w->Text12->text(), QStringLiteral("1.24.4.6387"));
    w.dialogs.messages.clear();
}
#endif
