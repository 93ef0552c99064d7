#include "local/lastreplay.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString kExtension = QStringLiteral(".w3g");

bool forbidden(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f || QStringView(u"<>:\"/\\|?*").contains(c);
}

bool deviceName(const QString &stem)
{
    const QString base = stem.section(u'.', 0, 0).trimmed().toUpper();
    static const QStringList devices = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    if (devices.contains(base))
        return true;
    return base.size() == 4 && (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT")))
        && base.at(3) >= u'1' && base.at(3) <= u'9';
}

// Cut to `chars` UTF-16 units and `bytes` UTF-8 bytes, never inside a surrogate pair.
QString cut(const QString &s, int chars, int bytes)
{
    QString out;
    int used = 0;
    for (qsizetype i = 0; i < s.size();) {
        const qsizetype len = s.at(i).isHighSurrogate() && i + 1 < s.size() ? 2 : 1;
        const QString piece = s.mid(i, len);
        const int pieceBytes = int(piece.toUtf8().size());
        if (out.size() + len > chars || used + pieceBytes > bytes)
            break;
        out += piece;
        used += pieceBytes;
        i += len;
    }
    return out;
}

QString trimEnd(QString s)
{
    while (!s.isEmpty() && (s.endsWith(u'.') || s.endsWith(u' ')))
        s.chop(1);
    return s;
}

bool sameBytes(const QString &a, const QString &b)
{
    QFile fa(a), fb(b);
    if (fa.size() != fb.size() || !fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    while (!fa.atEnd())
        if (fa.read(1 << 16) != fb.read(1 << 16))
            return false;
    return true;
}
} // namespace

QString SavedReplayName(const QDateTime &modified, const QString &players, const QString &mapName)
{
    QStringList parts;
    if (modified.isValid())
        parts << modified.toString(QStringLiteral("yyyy-MM-dd HHmm"));
    parts << players << mapName;
    QString stem = parts.join(u' ');
    for (QChar &c : stem)
        if (forbidden(c))
            c = u'_';
    stem = stem.simplified();
    // Room for " (99)" and the extension within the byte bound.
    stem = trimEnd(cut(stem, kSavedNameMaxChars, kSavedNameMaxBytes - 10));
    if (stem.isEmpty())
        stem = QStringLiteral("LastReplay");
    if (deviceName(stem))
        stem.prepend(u'_');
    return stem + kExtension;
}

QString NumberedReplayName(const QString &name, int n)
{
    const QString stem = name.endsWith(kExtension, Qt::CaseInsensitive) ? name.chopped(kExtension.size()) : name;
    return stem + QStringLiteral(" (%1)").arg(n) + kExtension;
}

QString SaveReplayCopy(const QString &source, const QString &folder, const QString &name)
{
    const QFileInfo from(source);
    if (!from.isFile())
        return {};
    const QDir dir(folder);
    for (int n = 1; n < 1000; ++n) {
        const QString candidate = n == 1 ? name : NumberedReplayName(name, n);
        const QString target = dir.filePath(candidate);
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) {
            if (sameBytes(source, target))
                return {};  // kept already
            continue;
        }
        // QFile::copy writes a temporary file and renames it without replacing a
        // file that appeared meanwhile; then the next number is tried.
        if (!QFile::copy(source, target)) {
            if (QFileInfo::exists(target))
                continue;  // taken meanwhile
            return {};
        }
        QFile copy(target);
        if (copy.open(QIODevice::ReadOnly))
            copy.setFileTime(from.lastModified(), QFileDevice::FileModificationTime);
        return candidate;
    }
    return {};
}
