#include "platform/skin.h"

#include <QApplication>
#include <QFile>

bool SkinH_Attach()
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app)
        return false;
    QString path = qEnvironmentVariable("QUILLMARK_SKIN");
    if (path.isEmpty())
        path = QStringLiteral(":/skin/quillmark.qss");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    app->setStyleSheet(QString::fromUtf8(file.readAll()));
    return true;
}
