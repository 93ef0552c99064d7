#pragma once
// Test doubles of the platform layer and a fixture that runs the real window
// against the real demo site on 127.0.0.1 with page files in a temporary folder.
#include "app/form1.h"
#include "demo/demosite.h"
#include "platform/platform.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <deque>
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
    QStringList openFileAnswers;
    void MsgBox(QWidget *, const QString &text, const QString &title) override { messages.append({text, title}); }
    std::optional<QString> InputBox(QWidget *, const QString &prompt, const QString &) override
    {
        prompts.append(prompt);
        if (answers.empty())
            return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    QString OpenFile(QWidget *, const QString &, const QString &) override
    {
        return openFileAnswers.isEmpty() ? QString() : openFileAnswers.takeFirst();
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
    std::unique_ptr<Form1> form;
    DemoServer &server() { return site.server(); }
    Form1 *operator->() { return form.get(); }
};

// Saves a picture of the widget as `name` in QUILLMARK_SCREENSHOTS (default: the
// build folder's screenshots/).
void SaveScreenshot(QWidget *widget, const QString &name);

// Runs the event loop until `done` holds or `ms` pass; returns done().
bool WaitFor(const std::function<bool()> &done, int ms = 5000);
