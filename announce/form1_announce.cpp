// The announcement check shortly after start-up.
#include "app/form1.h"

#include "announce/announcement.h"
#include "web/httpget.h"
#include "web/texthelpers.h"

#include <QTimer>

void Form1::Timer4_Timer()
{
    // The fetch yields to the message loop; a tick meanwhile must not start another.
    if (m_announcementBusy)
        return;
    m_announcementBusy = true;
    const QString feed = HttpGetText(m_roots.feed, QStringLiteral("utf-8"));
    if (m_unloaded)
        return;  // closed while the feed was read
    if (TrimBlanks(feed).isEmpty()) {
        m_announcementBusy = false;
        return;  // no answer yet: try again at the next tick
    }
    Timer4->stop();  // from here on the check has run; m_announcementBusy stays set

    const Announcement a = ParseAnnouncement(feed);
    const std::optional<double> version = ParseVersionNumber(a.version);
    if (!version)
        return;  // not a number: no announcement
    if (*version != ProgramVersion) {
        m_platform.dialogs->MsgBox(this, QStringLiteral("发现新版本！") + a.version, QString());
        if (const std::optional<QUrl> link = DownloadLink(a.link))
            m_platform.urlOpener->Open(*link);
        m_platform.exit->ExitNow(0);
        return;
    }
    setWindowTitle(AnnouncedCaption(windowTitle(), a));
}
