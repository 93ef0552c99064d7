#include "announce/announcement.h"

#include "web/httpget.h"
#include "web/texthelpers.h"

Announcement ParseAnnouncement(const QString &feed)
{
    const QString section = find(feed, QStringLiteral("(war3/)"), QStringLiteral("(/war3)"));
    Announcement a;
    a.version = TrimBlanks(find(section, QStringLiteral("(ben/)"), QStringLiteral("(/ben)")));
    a.message = TrimBlanks(find(section, QStringLiteral("(msg/)"), QStringLiteral("(/msg)")));
    a.link = TrimBlanks(find(section, QStringLiteral("(down/)"), QStringLiteral("(/down)")));
    return a;
}

std::optional<double> ParseVersionNumber(const QString &text)
{
    int digitsBefore = 0, digitsAfter = 0;
    bool point = false;
    for (QChar c : text) {
        if (c >= u'0' && c <= u'9')
            (point ? digitsAfter : digitsBefore)++;
        else if (c == u'.' && !point)
            point = true;
        else
            return std::nullopt;
    }
    if (digitsBefore == 0 || (point && digitsAfter == 0))
        return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);  // QString::toDouble is locale-independent ("C")
    if (!ok)
        return std::nullopt;
    return value;
}

QString AnnouncedCaption(const QString &caption, const Announcement &a)
{
    return caption + QStringLiteral("  ") + a.version + QStringLiteral("    [ ") + a.message + QStringLiteral(" ]");
}

std::optional<QUrl> DownloadLink(const QString &link)
{
    const QUrl url(link, QUrl::StrictMode);
    if (!IsWebAddress(url))
        return std::nullopt;
    return url;
}
