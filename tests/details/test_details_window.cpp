// Clicking a row of the replay list: the melee detail pane and whether the
// replay is already on disk, in the real window against the demo site.
#include "app/webpane.h"
#include "support/testfiles.h"
#include "support/testwindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {
class DetailsWindow : public ::testing::Test {
protected:
    TestWindow w;
    QTemporaryDir game;
    const QList<DemoMeleeReplay> &replays = DemoData::instance().melee;

    void SetUp() override
    {
        w->Timer4->stop();
        TriggerMenu(w, "all");
        w->Timer2->stop();
        Idle(100);  // the rows are laid out
    }
    // Clicks row `index` (1-based) with the mouse, as a user does.
    void clickRow(int index)
    {
        QTreeWidgetItem *item = w->ListView1->topLevelItem(index - 1);
        w->ListView1->scrollToItem(item);
        QCoreApplication::processEvents();
        QTest::mouseClick(w->ListView1->viewport(), Qt::LeftButton, {}, w->ListView1->visualItemRect(item).center());
        QCoreApplication::processEvents();
    }
    int detailRequests() { return RequestsFor(w, "melee", "/ReplayDetail.aspx"); }
    void touch(const QString &relative) { WriteBytes(QDir(game.path()).filePath(relative), "x"); }
    void setGameFolder() { w->GameFolder = game.path() + QLatin1Char('/'); }
    QString mapFile(const DemoMeleeReplay &r) { return r.mapPath().mid(QStringLiteral("Maps\\Download\\").size()); }
};
} // namespace

TEST_F(DetailsWindow, ClickingARowShowsItsDetails)
{
    const DemoMeleeReplay &r = replays.at(4);
    clickRow(5);
    EXPECT_EQ(w->Text2->text(), r.map);
    EXPECT_EQ(w->Text5->text(), r.version);
    EXPECT_TRUE(!w->Text6->toPlainText().isEmpty() && !w->Text6->toPlainText().contains(QLatin1Char('<')));  // markup gone
    EXPECT_TRUE(w->Text8->text().startsWith(w->Roots().melee + QStringLiteral("/Download.aspx?ReplayID=%1&file=/replay/").arg(r.id)));
    EXPECT_EQ(w->Text9->text(), w->Roots().melee + QStringLiteral("/ReplayMap/download/") + r.mapFolder() + QLatin1Char('/') + mapFile(r));
    EXPECT_EQ(w->Text10->text(), r.mapPath());
    EXPECT_EQ(QStringList({w->Label1->text(), w->Label12->text()}), QStringList({r.player1, r.player2}));
    EXPECT_FALSE(w->Picture5->pixmap().isNull() || w->Picture6->pixmap().isNull());
    EXPECT_FALSE(w->Command3->isEnabled());  // no game path: nothing is on disk
    WaitFor([&] { return !w->WebBrowser1->Loading(); }, 5000);
    Idle(500);  // the minimap picture arrives
    SaveScreenshot(w.form.get(), QStringLiteral("melee-detail.png"));

    // A failed fetch clears the pane; the site back, a second click on the same row tries again.
    w.server().setOverride(QStringLiteral("melee"), "/ReplayDetail.aspx", DemoResponse::html(QStringLiteral("down"), 500));
    clickRow(2);
    for (QLineEdit *box : {w->Text2, w->Text5, w->Text8, w->Text9, w->Text10})
        EXPECT_TRUE(box->text().isEmpty()) << qPrintable(box->objectName());
    EXPECT_TRUE(w->Text6->toPlainText().isEmpty() && w->Label1->text().isEmpty() && w->Picture5->pixmap().isNull());
    w.server().clearOverrides();
    clickRow(2);
    EXPECT_EQ(w->Text2->text(), replays.at(1).map);
    // The keys choose a row too: its details follow the highlight.
    QTest::keyClick(w->ListView1, Qt::Key_Down);
    EXPECT_EQ(w->Text2->text(), replays.at(2).map);

    // A click queued behind another runs in its yield; the row selected last is the one shown.
    QTimer::singleShot(0, w.form.get(), [&] { clickRow(8); });
    QTest::mouseClick(w->ListView1->viewport(), Qt::LeftButton, {}, w->ListView1->visualItemRect(w->ListView1->topLevelItem(6)).center());
    EXPECT_TRUE(w->Text8->text().contains(QStringLiteral("ReplayID=%1&").arg(replays.at(7).id))) << qPrintable(w->Text8->text());

    // A DotA replay has no melee teams: the names and emblems above are not its own.
    TriggerMenu(w, "dotanew");
    Idle(100);
    clickRow(2);
    EXPECT_EQ(w->Text2->text(), DemoData::instance().dota.at(1).map);
    EXPECT_TRUE(w->Label1->text().isEmpty() && w->Label12->text().isEmpty());
    EXPECT_TRUE(w->Picture5->pixmap().isNull() && w->Picture6->pixmap().isNull());
}

TEST_F(DetailsWindow, AReplayOnDiskWithItsMapPlaysAtOnceAndTheSameRowChangesNothing)
{
    const DemoMeleeReplay &r = replays.at(2);
    // Earlier downloads under a time prefix, in folders that differ in case.
    touch(QStringLiteral("Replay/9\uFF1A5\uFF1A7 _") + r.replayFileName());
    touch(QStringLiteral("Replay/14\uFF1A30\uFF1A0 _") + r.replayFileName());
    touch(QStringLiteral("maps/download/") + mapFile(r));
    setGameFolder();
    clickRow(3);
    ASSERT_TRUE(w->Command3->isEnabled());
    // The first match by name, the same on every run.
    EXPECT_EQ(w->ReplayPath, QDir(game.path()).filePath(QStringLiteral("Replay/14\uFF1A30\uFF1A0 _") + r.replayFileName()));

    const int requests = detailRequests();
    clickRow(3);
    EXPECT_TRUE(w->Command3->isEnabled() && detailRequests() == requests);

    // Replay there, map missing: play stays off and the play path is kept.
    const QString kept = w->ReplayPath;
    const DemoMeleeReplay &other = replays.at(5);
    touch(QStringLiteral("replay/1\uFF1A2\uFF1A3 _") + other.replayFileName());
    if (mapFile(other) != mapFile(r)) {
        clickRow(6);
        EXPECT_FALSE(w->Command3->isEnabled());
        EXPECT_EQ(w->ReplayPath, kept);
    }
}

TEST_F(DetailsWindow, NamesThatWouldMatchAnotherReplayAreNotOnDisk)
{
    const DemoMeleeReplay &r = replays.at(1);
    touch(QStringLiteral("replay/1\uFF1A2\uFF1A3 _") + r.replayFileName());
    touch(QStringLiteral("Maps/Download/") + mapFile(r));
    touch(QStringLiteral("Maps/other.w3x"));
    setGameFolder();
    const QString page = QString::fromUtf8(FetchBody(w->Roots().melee + QStringLiteral("/ReplayDetail.aspx?ReplayID=%1").arg(r.id)));
    const QString file = QStringLiteral("&file=/replay/");
    const QString cases[][2] = {{file, file + QStringLiteral("%2A")},  // "*"
        {QStringLiteral("\">Download REP"), QStringLiteral("/\">Download REP")},  // nothing after the last "/"
        {file, file + QStringLiteral("..%5C")}, {QStringLiteral(">Maps\\Download\\"), QStringLiteral(">Maps\\")}};  // "..\", no map file
    int row = 2;
    for (const auto &c : cases) {
        QString hostile = page;
        hostile.replace(c[0], c[1]);
        w.server().setOverride(QStringLiteral("melee"), "/ReplayDetail.aspx", DemoResponse::html(hostile));
        clickRow(row++);
        EXPECT_FALSE(w->Command3->isEnabled()) << qPrintable(c[1]);
    }
}

TEST_F(DetailsWindow, ANewListingResetsTheShownRowAndLongListsWork)
{
    clickRow(1);
    const int requests = detailRequests();
    TriggerMenu(w, "zxc");
    Idle(100);
    clickRow(1);  // row 1 of the new listing is another replay
    EXPECT_EQ(detailRequests(), requests + 1);

    // A list of 320 rows (16 pages in one answer): row 300 after row 44.
    QString all;
    for (int page = 1; page <= 16; ++page)
        all += DemoSite::meleeListingPage(replays, page, w->Roots().melee);
    w.server().setOverride(QStringLiteral("melee"), "/Default.aspx", DemoResponse::html(all));
    TriggerMenu(w, "all");
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 320);
    clickRow(44);
    clickRow(300);
    EXPECT_EQ(w->LastItemIndex, 300);
    EXPECT_EQ(w->Text8->text().section(QLatin1Char('&'), 0, 0),
              w->Roots().melee + QStringLiteral("/Download.aspx?ReplayID=%1").arg(replays.at(299).id));
}
