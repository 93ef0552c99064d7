// The listing commands, the listing loader and paging on scroll.
#include "app/form1.h"

#include "app/layoutmath.h"
#include "app/splitterbar.h"
#include "app/webpane.h"
#include "catalogue/categories.h"
#include "catalogue/listingparser.h"
#include "web/texthelpers.h"

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTimer>
#include <QTreeWidget>

Form1::ListingLoad Form1::LoadReplayList(const QString &url)
{
    ListingLoad load;
    const bool dota = SiteMode == u"dota";
    const bool melee = SiteMode == u"War3";
    if (!dota && !melee)
        return load;

    if (melee) {
        WebBrowser2->hide();
        setWidthTw(ListView1, WindowWidth() - 100);
        const int widths[4] = {1000, 2000, 6000, 2500};
        for (int i = 0; i < 4; ++i)
            ListView1->setColumnWidth(i, Px(widths[i]));
        Picture7->hide();
    }
    Command1->setEnabled(true);

    ListingUrl = url;
    FetchResult outcome;
    const QString page = m_pages->FetchPage(ListingPageUrl(url, PageNumber), kPageFile, &outcome);
    load.fetched = outcome.ok();
    const QList<ListingRow> rows = dota ? ParseDotaListing(page, m_roots.dota) : ParseMeleeListing(page);

    // A site may answer a page past the end with its last page again: such a
    // page is not appended a second time.
    QSet<QString> known;
    for (int i = 0; i < List1->count(); ++i)
        known.insert(List1->item(i)->text());
    load.repeated = !rows.isEmpty() && std::all_of(rows.begin(), rows.end(), [&](const ListingRow &r) {
        return known.contains(r.detailUrl);
    });
    if (!load.repeated) {
        for (const ListingRow &row : rows) {
            auto *item = new QTreeWidgetItem(ListView1);
            item->setText(0, QString::number(ListView1->topLevelItemCount() - 1));
            if (row.icon >= 1 && row.icon <= ImageList1.size())
                item->setIcon(0, ImageList1.at(row.icon - 1));
            item->setText(1, row.matchup);
            item->setText(2, row.players);
            item->setText(3, row.map);
            item->setText(4, row.time);
            List1->addItem(row.detailUrl);
            ++load.added;
        }
    }
    Timer2->start();
    return load;
}

void Form1::StartListing(const QString &siteMode, const QString &url)
{
    SiteMode = siteMode;
    List1->clear();
    ListView1->clear();
    PageNumber = 1;
    m_listingEnded = false;
    m_pageFailedAt = -1;
    ++m_listingSerial;
    LoadReplayList(url);
}

std::optional<QString> Form1::AskKeywords()
{
    const std::optional<QString> answer = m_platform.dialogs->InputBox(this, BoxText(Text11), QString());
    if (!answer || TrimBlanks(*answer).isEmpty())
        return std::nullopt;
    std::optional<QString> encoded = EncodeKeywords(*answer);
    if (!encoded)
        m_platform.dialogs->MsgBox(this, QStringLiteral("关键字中含有无法搜索的字符，请重新输入！"), QString());
    return encoded;
}

void Form1::MeleeCategory(const QString &path)
{
    StartListing(QStringLiteral("War3"), m_roots.melee + path);
}

void Form1::all_Click()
{
    MeleeCategory(QStringLiteral("/Default.aspx?a=3"));
}

void Form1::search_Click()
{
    const std::optional<QString> keywords = AskKeywords();
    if (!keywords)
        return;
    MeleeCategory(QStringLiteral("/Search.aspx?str=") + *keywords);
}

void Form1::ApplyDotaLayout(int listWidth)
{
    Picture7->show();
    ListView1->setColumnWidth(1, 0);
    ListView1->setColumnWidth(2, Px(4000));
    ListView1->setColumnWidth(3, 0);
    WebBrowser2->show();
    setWidthTw(ListView1, listWidth);
}

void Form1::dotanew_Click()
{
    ApplyDotaLayout(6100);
    StartListing(QStringLiteral("dota"), m_roots.dota + QStringLiteral("/DotaList.aspx?"));
}

void Form1::DotaSearch(int type)
{
    const std::optional<QString> keywords = AskKeywords();
    if (!keywords)
        return;
    // The player search shows the splitter bar like the other two, so the pane
    // never stands beside the list without it.
    ApplyDotaLayout(6000);
    StartListing(QStringLiteral("dota"),
                 m_roots.dota + QStringLiteral("/search.aspx?type=%1&str=").arg(type) + *keywords);
}

void Form1::zd_Click() { DotaSearch(1); }
void Form1::sxdasd_Click() { DotaSearch(2); }
void Form1::sais_Click() { DotaSearch(3); }

void Form1::Timer2_Timer()
{
    const int position = ListView1->verticalScrollBar()->value();
    if (position == 0)
        return;
    if (!NextPageDue(position, ListView1->topLevelItemCount()))
        return;
    // The end of the listing was seen, or the page number is at its limit.
    if (m_listingEnded || PageNumber >= kLastPageNumber)
        return;
    // A page that failed is asked for again only once the user scrolls further.
    if (m_pageFailedAt >= 0 && position <= m_pageFailedAt)
        return;

    // Off before the yields: a tick or a command run in between must not page again.
    Timer2->stop();
    const quint64 serial = m_listingSerial;
    QCoreApplication::processEvents();
    Frame3->show();
    Frame3->repaint();
    QCoreApplication::processEvents();
    if (serial != m_listingSerial)
        return;  // a new listing started meanwhile; it is not paged unasked
    Timer3->start();
    ++PageNumber;
    const ListingLoad load = LoadReplayList(ListingUrl);
    if (!load.fetched) {
        --PageNumber;
        m_pageFailedAt = position;
        return;
    }
    m_pageFailedAt = -1;
    if (load.added == 0)
        m_listingEnded = true;
}
