#pragma once
// Builds small PE images in memory with a version resource, for the reader tests.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace pebuilder {
struct VersionContent {
    QString tableKey = QStringLiteral("040904B0");
    QList<QPair<QString, QString>> strings;                            // key, value, in this order
    QList<QPair<quint16, quint16>> translations = {{0x0409, 0x04B0}};  // empty: no VarFileInfo
};

// The VS_VERSIONINFO block.
QByteArray versionInfo(const VersionContent &content);

// A PE image with one ".rsrc" section holding RT_VERSION / 1 / 0x0409 -> `versionInfo`;
// with `looping` the name level points back at the root directory.
QByteArray image(const QByteArray &versionInfo, bool pe32plus = false, bool looping = false);
} // namespace pebuilder
