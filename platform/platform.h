#pragma once
// The few things the window asks of the desktop, behind small interfaces so that
// tests can drive the real window and watch its messages without a person.
#include "platform/launchplan.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

class QWidget;

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Modal message with the information icon. The text is shown as plain text.
    virtual void MsgBox(QWidget *parent, const QString &text, const QString &title) = 0;
    // Modal text input; nullopt when cancelled.
    virtual std::optional<QString> InputBox(QWidget *parent, const QString &prompt, const QString &title) = 0;
    // Modal yes/no question with the question icon and an empty title; true for yes.
    virtual bool Question(QWidget *parent, const QString &text) = 0;
    // Open-file dialog with one filter entry (its label, and the file names that
    // match, each without regard to letter case); the chosen path, nullopt when
    // the dialog was cancelled.
    virtual std::optional<QString> OpenFile(QWidget *parent, const QString &filterLabel, const QStringList &fileNames) = 0;
};

// A file-name pattern that matches `fileName` in any letter case, for name
// filters that compare exactly ("War3.exe" gives "[Ww][Aa][Rr]3.[Ee][Xx][Ee]");
// a blank becomes "?", as blanks part a filter's patterns.
QString CaseFreePattern(const QString &fileName);

class GameLauncher {
public:
    virtual ~GameLauncher() = default;
    // Starts the game process and returns at once (the game is not waited for).
    // False, with the reason in *error, when it could not be started.
    virtual bool Start(const LaunchPlan &plan, QString *error) = 0;
};

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // Hands a web address to the desktop (never to a shell).
    virtual bool Open(const QUrl &url) = 0;
};

class ProgramExit {
public:
    virtual ~ProgramExit() = default;
    // Ends the program at once: no window shut-down steps run.
    virtual void ExitNow(int code) = 0;
};

struct Platform {
    Dialogs *dialogs = nullptr;
    UrlOpener *urlOpener = nullptr;
    ProgramExit *exit = nullptr;
    GameLauncher *launcher = nullptr;  // none: the desktop's
};

// The desktop's own implementations.
Platform DesktopPlatform();
