#pragma once
// Shared by the figures of bench_all: a row of the table, the quiet platform
// doubles the window needs, and small timing helpers.
#include "app/form1.h"
#include "platform/platform.h"

#include <QEventLoop>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

struct BenchRow {
    QString figure;
    QString measured;
    QString reference;
    QString ratio;
    QString target;
    int met = -1;  // 1 met, 0 not met, -1 no target
};

// Prints a row on stdout for the parent process to collect.
void EmitRow(const BenchRow &row);

// The figures, each run in a process of its own (bench_all --figure NAME).
void FigureListing();
void FigureDotaClick();
void FigureDownload();
void FigureMemory();
void FigureIdle(int seconds);
void FigureLocal();
void FigureLibrary();
void FigureMinimap();
void FigureText();
void FigureReplay();
// bench_all --replay-apm FILES: "file<TAB>player<TAB>APM" for every player, for
// scripts/compare-apm.sh.
int ReplayApm(const QStringList &paths);
// Child processes of the start-up figure, started at `startNs` on BenchClock: print
// "SHOWN <ms>" (the bare window's page loaded; Form1's window that stays first
// painted), and for Form1 "ENGINE <ms>" and "WINDOWS <native windows painted>".
int StartupChild(bool bare, qint64 startNs);

class QuietDialogs final : public Dialogs {
public:
    QStringList messages;
    std::function<void()> onMessage;
    void MsgBox(QWidget *, const QString &text, const QString &) override
    {
        messages << text;
        if (onMessage)
            onMessage();
    }
    bool Question(QWidget *, const QString &) override { return false; }
    std::optional<QString> InputBox(QWidget *, const QString &, const QString &) override { return std::nullopt; }
    std::optional<QString> OpenFile(QWidget *, const QString &, const QStringList &) override { return std::nullopt; }
};
class NoOpener final : public UrlOpener {
public:
    bool Open(const QUrl &) override { return false; }
};
class NoExit final : public ProgramExit {
public:
    void ExitNow(int) override {}
};
class NoLaunch final : public GameLauncher {
public:
    bool Start(const LaunchPlan &, QString *) override { return true; }
};
struct QuietPlatform {
    QuietDialogs dialogs;
    NoOpener opener;
    NoExit exit;
    NoLaunch launcher;
    Platform platform() { return Platform{&dialogs, &opener, &exit, &launcher}; }
};

using BenchClock = std::chrono::steady_clock;
inline double MsSince(BenchClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(BenchClock::now() - start).count();
}

// Runs the event loop until `done` holds or `ms` pass; returns done().
bool SpinUntil(const std::function<bool()> &done, int ms);
// Runs the event loop for `ms`, doing nothing of its own.
void Idle(int ms);

// Fetches `url` with curl into `file`; milliseconds, or -1 on failure. Process:
// from curl's start to its exit; Transfer: curl's own transfer time (-w
// '%{time_total}'), without its start-up.
enum class CurlClock { Process, Transfer };
double CurlMs(const QString &url, const QString &file, CurlClock clock = CurlClock::Process);

QString Ms(double ms);
QString Ratio(double r);
