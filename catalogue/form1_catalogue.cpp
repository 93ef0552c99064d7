// The listing commands, the listing loader and paging on scroll.
#include "app/form1.h"

#include "app/layoutmath.h"
#include "app/splitterbar.h"
#include "app/webpane.h"
#include "catalogue/categories.h"
#include "catalogue/listingparser.h"
#include "web/texthelpers.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMovie>
#include <QWheelEvent>
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

    if (melee)
        ApplyMeleeLayout();
    Command1->setEnabled(true);

    ListingUrl = url;
    FetchResult outcome;
    const QString page = m_pages->FetchPage(ListingPageUrl(url, PageNumber), kPageFile, &outcome);
    load.fetched = outcome.ok();
    const QList<ListingRow> rows = dota ? ParseDotaListing(page, m_roots.dota) : ParseMeleeListing(page);

    // A listing that shifts while the user pages (new replays posted) repeats
    // rows of the page before: each replay is listed once. A row without a detail
    // URL is never taken for a repeat.
    QSet<QString> known;
    for (int i = 0; i < List1->count(); ++i)
        known.insert(List1->item(i)->text());
    for (const ListingRow &row : rows) {
        if (row.hasDetailUrl && known.contains(row.detailUrl))
            continue;
        known.insert(row.detailUrl);
        auto *item = new QTreeWidgetItem;
        item->setText(0, QString::number(ListView1->topLevelItemCount()));
        if (row.icon >= 1 && row.icon <= ImageList1.size()) {
            item->setData(0, Qt::UserRole, row.icon);
            item->setIcon(0, QIcon(ImageList1.at(row.icon - 1)->currentPixmap()));
        }
        item->setText(1, ListCellText(row.matchup));
        item->setText(2, ListCellText(row.players));
        item->setText(3, ListCellText(row.map));
        item->setText(4, ListCellText(row.time));
        ListView1->addTopLevelItem(item);
        List1->addItem(row.detailUrl);
        ++load.added;
        if (row.hasDetailUrl)
            ++load.newReplays;
    }
    Timer2->start();
    return load;
}

void Form1::StartListing(const QString &siteMode, const QString &url)
{
    if (SiteMode == u"local" && siteMode != u"local") {
        // The local list's status leaves with it; the banner is paging's again.
        Frame3->hide();
        Label15->setText(kPagingBannerText);
    }
    SiteMode = siteMode;
    List1->clear();
    ListView1->clear();
    // The emptied list keeps its scroll position until it is laid out again: the
    // new rows would open where the old list was scrolled to.
    ListView1->scrollToTop();
    PageNumber = 1;
    // The new listing forgets the row shown: its row 1 is another replay than
    // row 1 before, so its first click opens it rather than doing nothing.
    LastItemIndex = 0;
    m_listingEnded = false;
    m_pageFailedAt = -1;
    m_scrolledDown = false;
    ++m_listingSerial;
    LoadReplayList(url);
}

std::optional<QString> Form1::AskWords(const QString &help)
{
    const std::optional<QString> answer = m_platform.dialogs->InputBox(this, help, QString());
    if (!answer || TrimBlanks(*answer).isEmpty())
        return std::nullopt;
    return answer;
}

std::optional<QString> Form1::AskKeywords()
{
    const std::optional<QString> answer = AskWords(BoxText(Text11));
    if (!answer)
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

// GameRace is the sum of the two race codes: 1 Human, 2 NightElf, 4 Orc, 8 Undead.
void Form1::rvr_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=2")); }
void Form1::fasd_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=3")); }
void Form1::awe_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=5")); }
void Form1::asdc_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=9")); }
void Form1::vvz_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=4")); }
void Form1::asdss_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=3")); }
void Form1::asd23_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=6")); }
void Form1::zxc_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=10")); }
void Form1::qwebb_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=8")); }
void Form1::vxcvx_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=5")); }
void Form1::asdasdee_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=6")); }
void Form1::xcvzxc_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=12")); }
void Form1::ffasd_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=16")); }
void Form1::asdasd_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=9")); }
void Form1::qwe_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=12")); }
void Form1::asd_Click() { MeleeCategory(QStringLiteral("/ReplayList.aspx?GameRace=10")); }

void Form1::search_Click()
{
    const std::optional<QString> keywords = AskKeywords();
    if (!keywords)
        return;
    MeleeCategory(QStringLiteral("/Search.aspx?str=") + *keywords);
}

// Every melee page lays the list out again, also pages appended by paging.
void Form1::ApplyMeleeLayout()
{
    WebBrowser2->hide();
    setWidthTw(ListView1, WindowWidth() - 100);
    const int widths[4] = {1000, 2000, 6000, 2500};
    for (int i = 0; i < 4; ++i)
        ListView1->setColumnWidth(i, Px(widths[i]));
    Picture7->hide();
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

// Scrolling down (wheel, keys, scroll bar) with the last row in view asks for
// the next page too: with pages no longer than the view the position rule alone
// would never fire, and a list that fits without scrolling would never page.
void Form1::watchScrolling()
{
    ListView1->installEventFilter(this);
    ListView1->viewport()->installEventFilter(this);
    connect(ListView1->verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int action) {
        if (action == QAbstractSlider::SliderSingleStepAdd || action == QAbstractSlider::SliderPageStepAdd
            || action == QAbstractSlider::SliderToMaximum || action == QAbstractSlider::SliderMove)
            m_scrolledDown = true;
    });
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListView1->viewport() && event->type() == QEvent::Wheel) {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        if (wheel->angleDelta().y() != 0)
            m_scrolledDown = wheel->angleDelta().y() < 0;
    } else if (watched == ListView1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        const bool down = key == Qt::Key_Down || key == Qt::Key_PageDown || key == Qt::Key_End;
        const bool up = key == Qt::Key_Up || key == Qt::Key_PageUp || key == Qt::Key_Home;
        if (down || up) {
            m_scrolledDown = down;
            // The key may choose another row: that choice opens it like a click.
            m_keyChoosing = true;
            QMetaObject::invokeMethod(this, [this] { m_keyChoosing = false; }, Qt::QueuedConnection);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool Form1::LastRowInView() const
{
    const int rows = ListView1->topLevelItemCount();
    if (rows == 0)
        return false;
    const QRect last = ListView1->visualItemRect(ListView1->topLevelItem(rows - 1));
    return last.isValid() && last.bottom() <= ListView1->viewport()->height() + last.height() / 2
        && last.bottom() >= 0;
}

void Form1::Timer2_Timer()
{
    if (SiteMode != u"War3" && SiteMode != u"dota")
        return;  // only site listings have pages (the local list has none)
    const int position = ListView1->verticalScrollBar()->value();
    const bool byPosition = NextPageDue(position, ListView1->topLevelItemCount())
        && !(m_pageFailedAt >= 0 && position <= m_pageFailedAt);  // a failed page waits for more scrolling
    // Looked at on the tick, when the view has moved: a scroll that did not reach
    // the last row asks for nothing, and must be made again.
    const bool byScrolling = m_scrolledDown && LastRowInView();
    m_scrolledDown = false;
    if (!byPosition && !byScrolling)
        return;
    // The end of the listing was seen, or the page number is at its limit.
    if (m_listingEnded || PageNumber >= kLastPageNumber)
        return;

    // Off before the yields: a tick or a command run in between must not page again.
    Timer2->stop();
    const quint64 serial = m_listingSerial;
    QCoreApplication::processEvents();
    if (m_unloaded)
        return;
    Frame3->show();
    Frame3->repaint();
    QCoreApplication::processEvents();
    if (m_unloaded)
        return;  // closed meanwhile: the page files are gone and stay gone
    // Whatever happens next, the banner timer takes the banner down again.
    Timer3->start();
    if (serial != m_listingSerial)
        return;  // a new listing started meanwhile; it is not paged unasked
    ++PageNumber;
    const ListingLoad load = LoadReplayList(ListingUrl);
    if (!load.fetched) {
        --PageNumber;
        m_pageFailedAt = position;
        return;
    }
    m_pageFailedAt = -1;
    // A page without a replay not listed before is the end: a site that repeats
    // its last page would otherwise be paged for good, the rows without a detail
    // URL on it (listed again each time) looking new.
    if (load.newReplays == 0)
        m_listingEnded = true;
}
