#include "platform/platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
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
    QString OpenFile(QWidget *parent, const QString &filterLabel, const QString &pattern) override
    {
        return QFileDialog::getOpenFileName(parent, QString(), QString(),
                                            filterLabel + QStringLiteral(" (") + pattern + QStringLiteral(")"));
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

Platform DesktopPlatform()
{
    static QtDialogs dialogs;
    static DesktopOpener opener;
    static ImmediateExit exit;
    return Platform{&dialogs, &opener, &exit};
}
