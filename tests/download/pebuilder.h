#pragma once
// Builds small PE images in memory with a version resource, for the reader tests.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace pebuilder {

struct VersionContent
{
    QString tableKey = QStringLiteral("040904B0");
    QList<QPair<QString, QString>> strings;          // key, value, in this order
    QList<QPair<quint16, quint16>> translations = {{0x0409, 0x04B0}}; // empty: no VarFileInfo
};

// The eight strings of a game DLL under their usual key names.
QList<QPair<QString, QString>> standardStrings(const QString &productVersion);

// The VS_VERSIONINFO block.
QByteArray versionInfo(const VersionContent &content);

struct ImageOptions
{
    bool pe32plus = false;
    bool loopingDirectory = false; // the name level points back at the root directory
};

// A PE image with one ".rsrc" section holding RT_VERSION / 1 / 0x0409 -> `versionInfo`.
QByteArray image(const QByteArray &versionInfo, const ImageOptions &options = {});

} // namespace pebuilder
