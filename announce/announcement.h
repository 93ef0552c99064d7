#pragma once
// The announcement feed: the current release of the tool, a line for the caption
// and where to get the release, between markers anywhere in the feed text.
#include <QString>
#include <QUrl>
#include <optional>

struct Announcement {
    QString version;  // between "(ben/)" and "(/ben)", blanks removed at both ends
    QString message;  // between "(msg/)" and "(/msg)"
    QString link;     // between "(down/)" and "(/down)"
};

// Reads the first "(war3/)" ... "(/war3)" section of the feed.
Announcement ParseAnnouncement(const QString &feed);

// A published version as a number: decimal digits with at most one "." between
// digits, read the same whatever the system's locale. Anything else
// ("", "1e0", "inf", "1,4", "v1.5") is no number.
std::optional<double> ParseVersionNumber(const QString &text);

// The caption with the announcement appended:
// caption + "  " + version + "    [ " + message + " ]".
QString AnnouncedCaption(const QString &caption, const Announcement &a);

// The address a new release may be fetched from: only a well-formed http or
// https URL; anything else is not opened at all.
std::optional<QUrl> DownloadLink(const QString &link);
