#pragma once
// A process to start: the program, its arguments (each passed as it stands, never
// through a shell) and the folder it starts in.
#include <QString>
#include <QStringList>

struct LaunchPlan
{
    QString program;
    QStringList arguments;
    // The game finds its own files from the folder it starts in: the game folder,
    // also when the program started is wine.
    QString workingDirectory;
};
