#pragma once
// Test doubles of the platform layer and a fixture that runs the real window
// against the real demo site on 127.0.0.1 with page files in a temporary folder.
// Brings what every window test uses: the widgets, the web pane, QTest and the
// helpers of testfiles.h.
#include "app/form1.h"
#include "app/webpane.h"
#include "demo/demosite.h"
#include "platform/platform.h"
#include "testfiles.h"

#include <QTest>
#include <QtWidgets>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

struct ShownMessage {
    QString text;
    QString title;
};

class RecordingDialogs final : public Dialogs {
public:
    QList<ShownMessage> messages;
    QStringList prompts;
    std::deque<std::optional<QString>> answers;  // next InputBox answers; nullopt = cancel
    std::deque<std::optional<QString>> openFileAnswers;  // next OpenFile answers; none left = cancel
    QStringList openFileFilters;                          // "label|name|name…" of every OpenFile
    std::function<void(const ShownMessage &)> onMessage;  // runs while the message is "shown"
    QStringList questions;                                // every Question asked
    std::deque<bool> questionAnswers;                     // next Question answers; none left = no
    std::function<void()> onQuestion;                     // runs while the question is "shown"
    QStringList texts(bool titled = false) const  // of every message so far; titled: as "title|text"
    {
        QStringList out;
        for (const ShownMessage &m : messages)
            out << (titled ? m.title + u'|' + m.text : m.text);
        return out;
    }
    void MsgBox(QWidget *, const QString &text, const QString &title) override
    {
        messages.append({text, title});
        if (onMessage)
            onMessage(messages.last());
    }
    bool Question(QWidget *, const QString &text) override
    {
        questions.append(text);
        if (onQuestion)
            onQuestion();
        if (questionAnswers.empty())
            return false;
        const bool yes = questionAnswers.front();
        questionAnswers.pop_front();
        return yes;
    }
    std::optional<QString> InputBox(QWidget *, const QString &prompt, const QString &) override
    {
        prompts.append(prompt);
        if (answers.empty())
            return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<QString> OpenFile(QWidget *, const QString &label, const QStringList &fileNames) override
    {
        openFileFilters.append(label + u'|' + fileNames.join(u'|'));
        if (openFileAnswers.empty())
            return std::nullopt;
        auto a = openFileAnswers.front();
        openFileAnswers.pop_front();
        return a;
    }
};

class RecordingOpener final : public UrlOpener {
public:
    QList<QUrl> opened;
    bool Open(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
};

class RecordingExit final : public ProgramExit {
public:
    QList<int> codes;
    void ExitNow(int code) override { codes.append(code); }
};

// Records the games started; with `real` set it also starts them on the desktop.
class RecordingLauncher final : public GameLauncher {
public:
    QList<LaunchPlan> started;
    bool real = false;
    bool Start(const LaunchPlan &plan, QString *error) override
    {
        started.append(plan);
        return !real || DesktopPlatform().launcher->Start(plan, error);
    }
};

// One window on the demo site. Timers that reach the network on their own
// (the announcement check) can be stopped by the test where they would disturb it.
class TestWindow {
public:
    explicit TestWindow(bool show = true, const SiteRoots &override = {});
    ~TestWindow();
    DemoSite site;
    QTemporaryDir pageDir;
    std::unique_ptr<PageFiles> pages;
    RecordingDialogs dialogs;
    RecordingOpener opener;
    RecordingExit exit;
    RecordingLauncher launcher;
    std::unique_ptr<Form1> form;
    DemoServer &server() { return site.server(); }
    Form1 *operator->() { return form.get(); }
};

// Saves a picture of the widget as `name` in QUILLMARK_SCREENSHOTS (default: the
// build folder's screenshots/).
void SaveScreenshot(QWidget *widget, const QString &name);
inline void SaveScreenshot(TestWindow &w, const char *name) { SaveScreenshot(w.form.get(), QLatin1String(name)); }

// Runs the event loop until `done` holds or `ms` pass; returns done().
bool WaitFor(const std::function<bool()> &done, int ms = 5000);

// Runs the event loop for `ms` (rows laid out, pictures arrived).
inline void Idle(int ms) { WaitFor([] { return false; }, ms); }

// Picks the menu command named `name`, as a user does.
inline void TriggerMenu(TestWindow &w, const char *name) { w->findChild<QAction *>(QLatin1String(name))->trigger(); }

// Picks the menu command, then lets the list lay its rows out, as they long are
// by the time a user looks at them, scrolls or clicks.
inline void ChooseListing(TestWindow &w, const char *name)
{
    TriggerMenu(w, name);
    Idle(100);
}

// Clicks the middle of `item`'s row with the mouse, scrolled into view first.
void ClickRow(TestWindow &w, QTreeWidgetItem *item);

// Turns the mouse wheel over the middle of the replay list by `notches` (negative: down).
void Wheel(TestWindow &w, int notches);

// What each widget shows: a line edit's or a label's text, a text box's plain text.
QStringList Texts(std::initializer_list<const QWidget *> widgets);

// Runs `script` in the pane's page; its result, or an invalid one when none came in 10 s.
QVariant RunJs(WebPane *pane, const QString &script);

// Waits until the DotA pane has loaded and its template has run: the commendation
// counter has its title.
bool DotaTemplateRan(TestWindow &w, int ms = 15000);

// The targets `site` has been asked for, oldest first.
inline QList<QByteArray> Targets(TestWindow &w, const char *site)
{
    QList<QByteArray> out;
    for (const DemoRequest &r : w.server().requests(QLatin1String(site)))
        out.append(r.target);
    return out;
}

// How many times `site` has been asked for `path` (the target before "?").
inline int RequestsFor(TestWindow &w, const char *site, const QByteArray &path)
{
    int n = 0;
    for (const DemoRequest &r : w.server().requests(QLatin1String(site)))
        n += r.path() == path ? 1 : 0;
    return n;
}
