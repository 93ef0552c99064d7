// The announcement check: the feed parsed, and the window reacting to real feeds.
#include "announce/announcement.h"
#include "support/testwindow.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace {
const QString kCaption = QStringLiteral("Quillmark 【Warcraft III】1.4");

DemoResponse feed(const QString &description, bool asRss = true)  // asRss: inside the feed's one item
{
    DemoResponse r = DemoResponse::html(
        asRss ? QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel><title>公告</title>"
                               "<item><title>Quillmark</title><description>%1</description></item></channel></rss>\n")
                    .arg(description)
              : description);
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
        w.dialogs.messages.clear();
        w.opener.opened.clear();
        w.exit.codes.clear();
        w.form.reset(new Form1(w->Roots(), w.pages.get(), Platform{&w.dialogs, &w.opener, &w.exit}));
        w->Timer4->stop();
    }
    int feedRequests() { return RequestsFor(w, "files", "/feed/announce.xml"); }
};
} // namespace

TEST(AnnouncementFeed, ValuesComeFromTheFirstSectionWithBlanksTrimmed)
{
    const Announcement a = ParseAnnouncement(QStringLiteral(
        "x(war3/)(msg/)  新 版  本 (/msg)(down/) http://h/q?a=1&b=2 (/down)(ben/) 1.5 (/ben)(/war3)"
        "(war3/)(ben/)9.9(/ben)(msg/)later(/msg)(/war3)"));
    EXPECT_EQ(a.version, QStringLiteral("1.5"));
    EXPECT_EQ(a.message, QStringLiteral("新 版  本"));
    EXPECT_EQ(a.link, QStringLiteral("http://h/q?a=1&b=2"));
    // Only blanks are trimmed: line breaks and tabs stay, entities are not resolved.
    EXPECT_EQ(ParseAnnouncement(QStringLiteral("(war3/)(msg/)\t&amp;\r\n(/msg)(/war3)")).message, QStringLiteral("\t&amp;\r\n"));
    EXPECT_TRUE(ParseAnnouncement(QStringLiteral("(ben/)1.5(/ben)")).version.isEmpty());  // outside any section
}

TEST(AnnouncementFeed, VersionNumbersAreDecimalOnlyAndOnlyWebLinksAreOpenable)
{
    for (const auto &[text, value] : {std::pair{"1.4", 1.4}, {"1.40", 1.4}, {"2", 2.0}})
        EXPECT_EQ(ParseVersionNumber(QString::fromLatin1(text)), value) << text;
    for (const char *bad : {"", " ", "1e0", "inf", "nan", "1,4", "v1.5", "1.4.2", ".5", "5.", "-1.4", "+1.4", "1.4 "})
        EXPECT_FALSE(ParseVersionNumber(QString::fromLatin1(bad)).has_value()) << bad;
    EXPECT_EQ(DownloadLink(QStringLiteral("http://x/&calc")), QUrl(QStringLiteral("http://x/&calc")));
    EXPECT_TRUE(DownloadLink(QStringLiteral("https://example.org/q.zip")).has_value());
    for (const char *bad : {"", "file:///etc/passwd", "calc.exe", "cmd /c del *", "javascript:alert(1)", "http://", "ftp://h/x"})
        EXPECT_FALSE(DownloadLink(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST_F(AnnouncementWindow, TheSameVersionExtendsTheCaptionOnceNotANumberOrAnErrorPageEndsTheCheckQuietly)
{
    const std::pair<DemoResponse, const char *> cases[] = {  // {answer, caption's tail}
        {feed(QStringLiteral("(war3/)(ben/)1.4(/ben)(msg/)周末 有 比赛(/msg)(down/)http://x/(/down)(/war3)")), "  1.4    [ 周末 有 比赛 ]"},
        {feed(QStringLiteral("(war3/)(ben/) 1.40 (/ben)(msg/)m(/msg)(/war3)")), "  1.40    [ m ]"},
        {feed(QStringLiteral("(war3/)(ben/)1.4(/ben)(/war3)")), "  1.4    [  ]"},  // no message: empty brackets
        {feed(QStringLiteral("(war3/)(ben/)1.4(/ben)(msg/)first(/msg)(/war3) (war3/)(ben/)1.9(/ben)(msg/)second(/msg)(/war3)")),
         "  1.4    [ first ]"},
        {feed(QStringLiteral("(war3/)(ben/)abc(/ben)(msg/)m(/msg)(/war3)")), ""},
        {feed(QStringLiteral("(war3/)(ben/)1e0(/ben)(/war3)")), ""},
        {feed(QStringLiteral("no markers")), ""},
        {DemoResponse::html(QStringLiteral("<html><body>服务器错误</body></html>"), 500), ""},
    };
    for (const auto &[answer, tail] : cases) {
        renew();
        serve(answer);
        w->Timer4->start();
        w->Timer4_Timer();
        EXPECT_EQ(w->windowTitle(), kCaption + QString::fromUtf8(tail));
        EXPECT_FALSE(w->Timer4->isActive());
        EXPECT_TRUE(w.exit.codes.isEmpty() && w.opener.opened.isEmpty() && w.dialogs.messages.isEmpty());
        const int before = feedRequests();
        w->Timer4_Timer();  // done: later ticks fetch nothing
        EXPECT_EQ(feedRequests(), before);
    }
}

TEST_F(AnnouncementWindow, AnotherVersionIsAnnouncedItsWebLinkOpenedAndTheProgramEnds)
{
    const char *const cases[][3] = {  // {version, link, opened}
        {"1.5", " http://x/&calc ", "http://x/&calc"},  // the whole link, as one URL, never through a shell
        {"1.3", "http://x/", "http://x/"}, {"2.0", "file:///etc/passwd", ""}, {"2.0", "cmd.exe /c del *", ""}, {"2.0", "", ""},
    };
    for (const auto &c : cases) {
        renew();
        serve(feed(QStringLiteral("(war3/)(ben/)%1(/ben)(msg/)m(/msg)(down/)%2(/down)(/war3)").arg(QLatin1String(c[0]), QLatin1String(c[1]))));
        w->Timer4_Timer();
        ASSERT_EQ(w.dialogs.messages.size(), 1);
        EXPECT_EQ(w.dialogs.messages.first().text, QStringLiteral("发现新版本！") + QLatin1String(c[0]));
        EXPECT_TRUE(w.dialogs.messages.first().title.isEmpty());
        EXPECT_LE(w.opener.opened.size(), 1);
        EXPECT_EQ(w.opener.opened.value(0).toString(), QLatin1String(c[2])) << c[1];  // none: empty
        EXPECT_EQ(w.exit.codes, QList<int>{0});  // the program ends, link or not
    }
}

TEST_F(AnnouncementWindow, BlankAnswersAreRetriedUntilARealOne)
{
    serve(feed(QStringLiteral("  "), false));
    w->Timer4->start();
    w->Timer4_Timer();
    EXPECT_TRUE(w->Timer4->isActive());
    EXPECT_EQ(w->windowTitle(), kCaption);
    serve(feed(QStringLiteral("\r\n"), false));  // line breaks are not blanks: this answer ends the check
    w->Timer4_Timer();
    EXPECT_FALSE(w->Timer4->isActive());
}

TEST_F(AnnouncementWindow, RunsByItselfAfterStartUpOneFetchAtATime)
{
    // The bundled demo feed announces 1.4 with a Chinese message.
    w->Timer4->start();
    ASSERT_TRUE(WaitFor([&] { return w->windowTitle() != kCaption; }, 8000));
    EXPECT_TRUE(w->windowTitle().contains(QStringLiteral("欢迎使用")));
    EXPECT_EQ(feedRequests(), 1);

    // A host that never answers: ticks during the wait start no second fetch.
    renew();
    DemoResponse silent;
    silent.silent = true;
    serve(silent);
    w.server().clearLog();
    w->Timer4->setInterval(200);
    int duringWait = -1;
    QTimer::singleShot(2800, [&] {  // the first fetch is still waiting (3 to 4 s)
        duringWait = feedRequests();
        w->Timer4->stop();
    });
    w->Timer4->start();
    ASSERT_TRUE(WaitFor([&] { return duringWait >= 0; }, 10000));
    EXPECT_EQ(duringWait, 1);
    EXPECT_EQ(w->windowTitle(), kCaption);
}
