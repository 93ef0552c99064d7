#pragma once
// The version resource of a Windows executable or DLL (the game's Game.dll),
// read from the file's bytes by the tool itself, on every platform. What comes
// out is what the Windows version library gives an ANSI program on a system
// with code page 936: the string table of the first translation, keys matched
// case-free, each value limited to 255 bytes of that code page.
#include <QByteArray>
#include <QString>
#include <optional>

struct VersionStrings
{
    QString CompanyName;
    QString FileDescription;
    QString FileVersion;
    QString InternalName;
    QString LegalCopyright;
    QString OriginalFileName;
    QString ProductName;
    QString ProductVersion;
};

// Status of a read.
constexpr int VersionResourceRead = 1;       // all eight strings read
constexpr int VersionResourceUnreadable = 2; // anything else

// Files larger than this are refused unread (a Game.dll is a few MiB).
constexpr qint64 MaxVersionFileSize = qint64(256) * 1024 * 1024;

// Fills `out` from the version resource of a PE image (PE32 or PE32+) held in
// `file`. All fields are emptied first; a key that is missing ends the read with
// status 2 and the fields read before it keep their values. Any offset or
// length that points outside the data makes the file unreadable (status 2).
int ReadVersionResourceBytes(const QByteArray &file, VersionStrings &out);

// The same for the file at `path`; a missing, unreadable or oversized file is status 2.
int ReadVersionResource(const QString &path, VersionStrings &out);

// The product-version string of the file at `path`; nullopt when its version
// resource cannot be read (status 2).
std::optional<QString> ProductVersionOf(const QString &path);
