#pragma once
// "自动保存最近录像": the game writes every game to "LastReplay.w3g" and overwrites
// it at the next one; the tool keeps a copy under a name made of its contents.
#include <QDateTime>
#include <QString>

inline const QString kLastReplayName = QStringLiteral("LastReplay.w3g");

// Longest name made, in UTF-16 units before ".w3g": with the game folder it
// stays within the 260 characters of a Windows path.
constexpr int kSavedNameMaxChars = 120;
// Longest name in UTF-8 bytes (255 on Linux file systems), number and extension included.
constexpr int kSavedNameMaxBytes = 250;

// "2026-12-07 2015 Sky VS Moon (4)TwistedMeadows.w3g": the date and time of
// `modified`, the players and the map name, each left out when empty, made safe
// for Windows and Linux file systems: characters <>:"/\|?* and control
// characters become "_", blanks are joined, trailing dots and blanks go, a
// device name (CON, NUL, COM1...) gets a "_" in front, and the name is cut to
// kSavedNameMaxChars and kSavedNameMaxBytes without splitting a character.
QString SavedReplayName(const QDateTime &modified, const QString &players, const QString &mapName);

// The name with a number for the n-th try (n >= 2): "x.w3g" -> "x (2).w3g".
QString NumberedReplayName(const QString &name, int n);

// Copies the replay at `source` into `folder` under `name`, or the first
// numbered name that is free; a name whose file already holds the same bytes
// means the copy was made before and nothing is written. The copy keeps the
// source's modified time. Never overwrites. Returns the file name written, or
// empty text when nothing was written (also when it was saved before).
QString SaveReplayCopy(const QString &source, const QString &folder, const QString &name);
