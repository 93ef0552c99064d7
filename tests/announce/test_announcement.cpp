// The announcement check: the feed parsed, and the window reacting to real feeds.
#include "announce/announcement.h"
#include "support/testfiles.h"
#include "support/testwindow.h"

#include <QTimer>

namespace {
const QString kCaption = u8s("Quillmark 【Warcraft III】1.4");

// `text` as the feed, by default inside the description of its one item.
DemoResponse feed(const char *text, bool asRss = true)
{
    DemoResponse r = DemoResponse::html(asRss ? u8s("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel><title>公告</title>"
                                                    "<item><title>Quillmark</title><description>%1</description></item></channel></rss>\n").arg(u8s(text))
                                              : u8s(text));
    r.contentType = "application/rss+xml; charset=utf-8";
    return r;
}

class AnnouncementWindow : public ::testing::Test {
protected:
    TestWindow w{false};
    void SetUp() override { w->Timer4->stop(); }
    void serve(const DemoResponse &r) { w.server().setOverride(QStringLiteral("files"), "/feed/announce.xml", r); }
    void renew()  // a fresh window: the check runs once per run
    {
        w.dialogs.messages.clear(), w.opener.opened.clear(), w.exit.codes.clear();
        w.form.reset(new Form1(w->Roots(), w.pages.get(), Platform{&w.dialogs, &w.opener, &w.exit}));
        w->Timer4->stop();
    }
    int feedRequests() { return RequestsFor(w, "files", "/feed/announce.xml"); }
};
} // namespace

TEST(AnnouncementFeed, OnlyBlanksTrimmedDecimalVersionsOnlyWebLinks)
{
    // Line breaks and tabs stay, entities are not resolved; markers outside a section count for nothing.
    EXPECT_EQ(ParseAnnouncement(u8s("(war3/)(msg/)\t&amp;\r\n(/msg)(/war3)")).message, u8s("\t&amp;\r\n"));
    EXPECT_TRUE(ParseAnnouncement(u8s("(ben/)1.5(/ben)")).version.isEmpty());
    for (const auto &[text, value] : {std::pair{"1.4", 1.4}, {"1.40", 1.4}, {"2", 2.0}})
        EXPECT_EQ(ParseVersionNumber(QString::fromLatin1(text)), value) << text;
    for (const char *bad : {"", " ", "1e0", "inf", "nan", "1,4", "v1.5", "1.4.2", ".5", "5.", "-1.4", "+1.4", "1.4 "})
        EXPECT_FALSE(ParseVersionNumber(QString::fromLatin1(bad)).has_value()) << bad;
    EXPECT_TRUE(DownloadLink(u8s("https://example.org/q.zip")).has_value());
    for (const char *bad : {"", "file:///etc/passwd", "calc.exe", "cmd /c del *", "javascript:alert(1)", "http://", "ftp://h/x"})
        EXPECT_FALSE(DownloadLink(QString::fromLatin1(bad)).has_value()) << bad;
}

// One feed per fresh window: the caption, the messages, the link opened, the end of
// the program, and whether a second tick fetches the feed again.
TEST_F(AnnouncementWindow, EachFeedInAFreshWindow)
{
    const struct {
        DemoResponse answer;
        const char *tail, *said, *opened;  // said: the new-version message, "" none
        bool again = false;               // still waiting: the next tick fetches again
    } cases[] = {
        // The same version: the caption is extended once; only the first section counts.
        {feed("(war3/)(ben/)1.4(/ben)(msg/)周末 有 比赛(/msg)(down/)http://x/(/down)(/war3)"), "  1.4    [ 周末 有 比赛 ]", "", ""},
        {feed("(war3/)(ben/) 1.40 (/ben)(msg/)m(/msg)(/war3)"), "  1.40    [ m ]", "", ""},
        {feed("(war3/)(ben/)1.4(/ben)(/war3)"), "  1.4    [  ]", "", ""},  // no message: empty brackets
        {feed("(war3/)(ben/)1.4(/ben)(msg/)first(/msg)(/war3) (war3/)(ben/)1.9(/ben)(msg/)second(/msg)(/war3)"), "  1.4    [ first ]", "", ""},
        // Not a number, no markers, an error page: the check ends quietly.
        {feed("(war3/)(ben/)abc(/ben)(msg/)m(/msg)(/war3)"), "", "", ""}, {feed("no markers"), "", "", ""},
        {DemoResponse::html(u8s("<html><body>服务器错误</body></html>"), 500), "", "", ""},
        // Blanks are no answer: tried again; line breaks are not blanks: this answer ends the check.
        {feed("  ", false), "", "", "", true}, {feed("\r\n", false), "", "", ""},
        // Another version, lower or higher: announced, its web link opened whole (never through a shell), the program ended, link or not.
        {feed("(war3/)(ben/)1.5(/ben)(msg/)m(/msg)(down/) http://x/&calc (/down)(/war3)"), "", "发现新版本！1.5", "http://x/&calc"},
        {feed("(war3/)(ben/)1.3(/ben)(down/)http://x/(/down)(/war3)"), "", "发现新版本！1.3", "http://x/"},
        {feed("(war3/)(ben/)2.0(/ben)(down/)cmd.exe /c del *(/down)(/war3)"), "", "发现新版本！2.0", ""},
        {feed("(war3/)(ben/)2.0(/ben)(/war3)"), "", "发现新版本！2.0", ""},
    };
    for (const auto &c : cases) {
        renew();
        serve(c.answer);
        w->Timer4->start();
        w->Timer4_Timer();
        const int before = feedRequests();
        w->Timer4_Timer();
        const QString said = u8s(c.said);
        EXPECT_EQ(feedRequests(), before + int(c.again)) << c.said << c.tail;
        EXPECT_EQ(w->Timer4->isActive(), c.again) << c.said << c.tail;
        EXPECT_EQ(w->windowTitle(), kCaption + u8s(c.tail));
        ASSERT_EQ(w.dialogs.messages.size(), said.isEmpty() ? 0 : 1) << c.said << c.tail;
        EXPECT_TRUE(said.isEmpty() || (w.dialogs.messages[0].text == said && w.dialogs.messages[0].title.isEmpty()));
        EXPECT_EQ(w.opener.opened, *c.opened ? QList<QUrl>{QUrl(u8s(c.opened))} : QList<QUrl>()) << c.said;
        EXPECT_EQ(w.exit.codes, said.isEmpty() ? QList<int>() : QList<int>{0}) << c.said << c.tail;
    }
}

TEST_F(AnnouncementWindow, RunsByItselfAfterStartUpOneFetchAtATime)
{
    // The bundled demo feed announces 1.4 with a Chinese message.
    w->Timer4->start();
    ASSERT_TRUE(WaitFor([&] { return w->windowTitle() != kCaption; }, 8000));
    EXPECT_TRUE(w->windowTitle().contains(u8s("欢迎使用")));
    EXPECT_EQ(feedRequests(), 1);

    // A host that never answers: ticks during the wait start no second fetch.
    renew();
    serve(DemoResponse{.silent = true});
    w.server().clearLog();
    w->Timer4->setInterval(200);
    int duringWait = -1;
    QTimer::singleShot(2800, [&] { duringWait = feedRequests(), w->Timer4->stop(); });  // the first fetch is still waiting (3 to 4 s)
    w->Timer4->start();
    ASSERT_TRUE(WaitFor([&] { return duringWait >= 0; }, 10000));
    EXPECT_EQ(duringWait, 1);
    EXPECT_EQ(w->windowTitle(), kCaption);
}
