#include "platform/platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <cstdio>
#include <cstdlib>

namespace {
class QtDialogs final : public Dialogs {
public:
    void MsgBox(QWidget *parent, const QString &text, const QString &title) override
    {
        QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
        box.setTextFormat(Qt::PlainText);  // texts may come from the web: never guess HTML
        box.exec();
    }
    bool Question(QWidget *parent, const QString &text) override
    {
        QMessageBox box(QMessageBox::Question, QString(), text, QMessageBox::Yes | QMessageBox::No, parent);
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }
    std::optional<QString> InputBox(QWidget *parent, const QString &prompt, const QString &title) override
    {
        QInputDialog dialog(parent);
        dialog.setWindowTitle(title);
        dialog.setLabelText(prompt);
        dialog.setInputMode(QInputDialog::TextInput);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
    }
    std::optional<QString> OpenFile(QWidget *parent, const QString &filterLabel, const QString &pattern) override
    {
        // The run script points the dialog at the demo game folder.
        QFileDialog dialog(parent, QString(), qEnvironmentVariable("QUILLMARK_GAME_DIALOG_DIR"));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        // The entry reads as its label; the pattern behind it ignores letter case
        // (the game folder may hold "war3.exe" on a file system that minds case).
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setNameFilter(filterLabel + QStringLiteral(" (") + CaseFreePattern(pattern) + QStringLiteral(")"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
    }
};

class DesktopLauncher final : public GameLauncher {
public:
    bool Start(const LaunchPlan &plan, QString *error) override
    {
        QProcess process;
        process.setProgram(plan.program);
        process.setArguments(plan.arguments);  // each passed as it stands, no shell
        process.setWorkingDirectory(plan.workingDirectory);
        if (process.startDetached())
            return true;
        if (error)
            *error = process.errorString();
        return false;
    }
};

class DesktopOpener final : public UrlOpener {
public:
    bool Open(const QUrl &url) override { return QDesktopServices::openUrl(url); }
};

class ImmediateExit final : public ProgramExit {
public:
    void ExitNow(int code) override
    {
        std::fflush(nullptr);
        std::_Exit(code);
    }
};
} // namespace

QString CaseFreePattern(const QString &fileName)
{
    QString pattern;
    for (const QChar c : fileName) {
        if (c.toLower() != c.toUpper())
            pattern += u'[' + c.toUpper() + c.toLower() + u']';
        else
            pattern += c;
    }
    return pattern;
}

Platform DesktopPlatform()
{
    static QtDialogs dialogs;
    static DesktopOpener opener;
    static ImmediateExit exit;
    static DesktopLauncher launcher;
    return Platform{&dialogs, &opener, &exit, &launcher};
}
