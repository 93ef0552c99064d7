// Clicking a row of the replay list: the melee detail pane and whether the
// replay is already on disk, in the real window against the demo site.
#include "support/testwindow.h"

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
    void clickRow(int index) { ClickRow(w, w->ListView1->topLevelItem(index - 1)); }  // 1-based
    // Map, version, map URL, map path, the first name of each team; then the commentary and the replay URL.
    QStringList fields() { return Texts({w->Text2, w->Text5, w->Text9, w->Text10, w->Label1, w->Label12, w->Text6, w->Text8}); }
    int detailRequests() { return RequestsFor(w, "melee", "/ReplayDetail.aspx"); }
};
} // namespace

TEST_F(DetailsWindow, ClickingARowShowsItsDetails)
{
    const DemoMeleeReplay &r = replays.at(4);
    clickRow(5);
    EXPECT_EQ(fields().mid(0, 6), QStringList({r.map, r.version, w->Roots().melee + u8s("/ReplayMap/download/") + r.mapFolder() + u'/' + r.mapFile,
                                               r.mapPath(), r.player1, r.player2}));
    EXPECT_TRUE(!w->Text6->toPlainText().isEmpty() && !w->Text6->toPlainText().contains(u'<'));  // markup gone
    EXPECT_TRUE(w->Text8->text().startsWith(w->Roots().melee + QStringLiteral("/Download.aspx?ReplayID=%1&file=/replay/").arg(r.id)));
    EXPECT_FALSE(w->Picture5->pixmap().isNull() || w->Picture6->pixmap().isNull());
    EXPECT_FALSE(w->Command3->isEnabled());  // no game path: nothing is on disk

    // A failed fetch (an error page, or nothing at all) clears the pane and says so;
    // the site back, a second click on the same row tries again.
    for (const DemoResponse &answer : {DemoResponse::html(u8s("down"), 500), DemoResponse::html(QString())}) {
        w.server().setOverride(u8s("melee"), "/ReplayDetail.aspx", answer);
        w.dialogs.messages.clear();
        clickRow(6);
        clickRow(2);
        EXPECT_EQ(fields(), QStringList(8, QString()));
        EXPECT_TRUE(w->Picture5->pixmap().isNull());
        EXPECT_EQ(w.dialogs.texts(true), QStringList(2, u8s("|未能取得该录像的详细信息！")));
    }
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
    ChooseListing(w, "dotanew");
    clickRow(2);
    EXPECT_EQ(Texts({w->Text2, w->Label1, w->Label12}), QStringList({DemoData::instance().dota.at(1).map, QString(), QString()}));
    EXPECT_TRUE(w->Picture5->pixmap().isNull() && w->Picture6->pixmap().isNull());
    // A DotA detail that fails says so as the melee one does.
    for (const DemoResponse &answer : {DemoResponse::html(u8s("down"), 500), DemoResponse::html(QString())}) {
        w.server().setOverride(u8s("dota"), "/ReplayShow.aspx", answer);
        w.dialogs.messages.clear();
        clickRow(3);
        EXPECT_EQ(Texts({w->Text2, w->Text4, w->Text6, w->Text8}), QStringList(4, QString()));
        EXPECT_EQ(w.dialogs.texts(true), QStringList(1, u8s("|未能取得该录像的详细信息！")));
        w.server().clearOverrides();
        clickRow(2);
    }
}

TEST_F(DetailsWindow, AReplayOnDiskWithItsMapPlaysAtOnceNoOtherNameDoes)
{
    const DemoMeleeReplay &r = replays.at(2), &other = replays.at(5);
    ASSERT_NE(other.mapFile, r.mapFile);
    // Earlier downloads under a time prefix, in folders that differ in case; another replay without its map.
    for (const QString &name : {u8s("Replay/9：5：7 _") + r.replayFileName(), u8s("Replay/14：30：0 _") + r.replayFileName(),
                                u8s("Replay/1：2：3 _") + other.replayFileName(), u8s("maps/download/") + r.mapFile, u8s("maps/other.w3x")})
        WriteBytes(game.filePath(name), "x");
    w->GameFolder = game.path() + u'/';
    clickRow(3);
    ASSERT_TRUE(w->Command3->isEnabled());
    const QString first = game.filePath(u8s("Replay/14：30：0 _") + r.replayFileName());  // the first match by name, the same on every run
    EXPECT_EQ(w->ReplayPath, first);
    const int requests = detailRequests();
    clickRow(3);  // the same row again changes nothing
    EXPECT_TRUE(w->Command3->isEnabled() && detailRequests() == requests);
    clickRow(6);  // replay there, map missing: play stays off and the play path is kept
    EXPECT_FALSE(w->Command3->isEnabled());
    EXPECT_EQ(w->ReplayPath, first);

    // Names that would match another replay, and map paths that would match another map or a folder, are not on disk.
    const QString page = QString::fromUtf8(FetchBody(w->Roots().melee + QStringLiteral("/ReplayDetail.aspx?ReplayID=%1").arg(r.id)));
    const QString file = u8s("&file=/replay/");
    const QString cases[][2] = {{file, file + u8s("%2A")},  // "*"
        {u8s("\">Download REP"), u8s("/\">Download REP")},  // nothing after the last "/"
        {file, file + u8s("..%5C")}, {u8s(">Maps\\Download\\"), u8s(">Maps\\")},  // "..\"; the map path "Maps\" + its file
        {r.mapFile, u8s("*.w3x")}, {u8s(">Maps\\Download\\") + r.mapFile, u8s(">")}};  // no map path: "Maps\", a folder holding maps
    int row = 1;
    for (const auto &[from, to] : cases) {
        w.server().setOverride(u8s("melee"), "/ReplayDetail.aspx", DemoResponse::html(QString(page).replace(from, to)));
        clickRow(row++);
        EXPECT_FALSE(w->Command3->isEnabled()) << qPrintable(to);
    }
}

TEST_F(DetailsWindow, ANewListingResetsTheShownRowAndLongListsWork)
{
    clickRow(1);
    const int requests = detailRequests();
    ChooseListing(w, "zxc");
    clickRow(1);  // row 1 of the new listing is another replay
    EXPECT_EQ(detailRequests(), requests + 1);

    // A list of 320 rows (16 pages in one answer): row 300 after row 44.
    QString all;
    for (int page = 1; page <= 16; ++page)
        all += DemoSite::meleeListingPage(replays, page, w->Roots().melee);
    w.server().setOverride(u8s("melee"), "/Default.aspx", DemoResponse::html(all));
    TriggerMenu(w, "all");
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 320);
    clickRow(44);
    clickRow(300);
    EXPECT_EQ(w->LastItemIndex, 300);
    EXPECT_EQ(w->Text8->text().section(u'&', 0, 0), w->Roots().melee + QStringLiteral("/Download.aspx?ReplayID=%1").arg(replays.at(299).id));
}
