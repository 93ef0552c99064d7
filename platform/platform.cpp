#include "platform/platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
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
        box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
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
        dialog.setOkButtonText(QStringLiteral("确定"));
        dialog.setCancelButtonText(QStringLiteral("取消"));
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
    }
    std::optional<QString> OpenFile(QWidget *parent, const QString &filterLabel, const QStringList &fileNames) override
    {
        // The run script points the dialog at the demo game folder.
        QFileDialog dialog(parent, QString(), qEnvironmentVariable("QUILLMARK_GAME_DIALOG_DIR"));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        // Chinese even where Qt's translations are missing (the rest of Qt's own
        // texts come from them, loaded at start-up).
        dialog.setWindowTitle(QStringLiteral("打开"));
        dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("查找范围："));
        dialog.setLabelText(QFileDialog::FileName, QStringLiteral("文件名："));
        dialog.setLabelText(QFileDialog::FileType, QStringLiteral("文件类型："));
        dialog.setLabelText(QFileDialog::Accept, QStringLiteral("打开"));
        dialog.setLabelText(QFileDialog::Reject, QStringLiteral("取消"));
        // The entry reads as its label; the pattern behind it ignores letter case
        // (the game folder may hold "war3.exe" on a file system that minds case).
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        QStringList patterns;
        for (const QString &name : fileNames)
            patterns << CaseFreePattern(name);
        dialog.setNameFilter(filterLabel + QStringLiteral(" (") + patterns.join(u' ') + QStringLiteral(")"));
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
        else if (c == u' ')
            pattern += u'?';  // blanks part a filter's patterns: "Warcraft III.exe" is one name
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
