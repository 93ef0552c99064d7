// The announcement check: the feed parsed, and the window reacting to real feeds.
#include "announce/announcement.h"
#include "support/testwindow.h"

#include <QElapsedTimer>
#include <QTimer>
#include <ctime>
#include <gtest/gtest.h>

namespace {
const QString kCaption = QStringLiteral("Quillmark 【Warcraft III】1.4");

QString rss(const QString &description)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel><title>公告</title>"
                          "<item><title>Quillmark</title><description>%1</description></item></channel></rss>\n")
        .arg(description);
}

DemoResponse feedResponse(const QString &text)
{
    DemoResponse r = DemoResponse::html(text);
    r.contentType = "application/rss+xml; charset=utf-8";
    return r;
}

class AnnouncementWindow : public ::testing::Test {
protected:
    TestWindow w{false};
    void SetUp() override { w->Timer4->stop(); }
    void serveFeed(const QString &text)
    {
        w.server().setOverride(QStringLiteral("files"), "/feed/announce.xml", feedResponse(text));
    }
    int feedRequests() const
    {
        int n = 0;
        for (const DemoRequest &r : const_cast<TestWindow &>(w).server().requests(QStringLiteral("files")))
            n += r.path() == "/feed/announce.xml" ? 1 : 0;
        return n;
    }
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
    const Announcement b = ParseAnnouncement(QStringLiteral("(war3/)(msg/)\t&amp;\r\n(/msg)(/war3)"));
    EXPECT_EQ(b.message, QStringLiteral("\t&amp;\r\n"));
    EXPECT_TRUE(ParseAnnouncement(QStringLiteral("(ben/)1.5(/ben)")).version.isEmpty());  // outside any section
}

TEST(AnnouncementFeed, VersionNumbersAreDecimalOnly)
{
    EXPECT_EQ(ParseVersionNumber(QStringLiteral("1.4")), 1.4);
    EXPECT_EQ(ParseVersionNumber(QStringLiteral("1.40")), 1.4);
    EXPECT_EQ(ParseVersionNumber(QStringLiteral("2")), 2.0);
    for (const char *bad : {"", " ", "1e0", "inf", "nan", "1,4", "v1.5", "1.4.2", ".5", "5.", "-1.4", "+1.4", "1.4 "})
        EXPECT_FALSE(ParseVersionNumber(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST(AnnouncementFeed, OnlyWebLinksAreOpenable)
{
    EXPECT_EQ(DownloadLink(QStringLiteral("http://x/&calc")), QUrl(QStringLiteral("http://x/&calc")));
    EXPECT_TRUE(DownloadLink(QStringLiteral("https://example.org/q.zip")).has_value());
    for (const char *bad : {"", "file:///etc/passwd", "calc.exe", "cmd /c del *", "javascript:alert(1)", "http://", "ftp://h/x"})
        EXPECT_FALSE(DownloadLink(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST_F(AnnouncementWindow, SameVersionExtendsTheCaption)
{
    const struct {
        const char *version;
        const char *shown;
    } cases[] = {{"1.4", "1.4"}, {"1.40", "1.40"}, {" 1.4 ", "1.4"}};
    for (const auto &c : cases) {
        w->setWindowTitle(kCaption);
        w->Timer4->start();
        serveFeed(rss(QStringLiteral("(war3/)(ben/)%1(/ben)(msg/)周末 有 比赛(/msg)(down/)http://x/(/down)(/war3)")
                          .arg(QString::fromLatin1(c.version))));
        w->Timer4_Timer();
        EXPECT_EQ(w->windowTitle(), kCaption + QStringLiteral("  ") + QString::fromLatin1(c.shown) +
                                        QStringLiteral("    [ 周末 有 比赛 ]"));
        EXPECT_FALSE(w->Timer4->isActive());
        EXPECT_TRUE(w.exit.codes.isEmpty());
        EXPECT_TRUE(w.opener.opened.isEmpty());
        // Done: later ticks fetch nothing.
        const int before = feedRequests();
        w->Timer4_Timer();
        EXPECT_EQ(feedRequests(), before);
        w.form.reset(new Form1(w->Roots(), w.pages.get(), Platform{&w.dialogs, &w.opener, &w.exit}));
        w->Timer4->stop();
    }
}

TEST_F(AnnouncementWindow, MissingMessageGivesEmptyBrackets)
{
    serveFeed(rss(QStringLiteral("(war3/)(ben/)1.4(/ben)(/war3)")));
    w->Timer4_Timer();
    EXPECT_EQ(w->windowTitle(), kCaption + QStringLiteral("  1.4    [  ]"));
}

TEST_F(AnnouncementWindow, OtherVersionAnnouncesOpensLinkAndEnds)
{
    for (const char *version : {"1.5", "1.3"}) {
        w.dialogs.messages.clear();
        w.opener.opened.clear();
        w.exit.codes.clear();
        serveFeed(rss(QStringLiteral("(war3/)(ben/)%1(/ben)(msg/)m(/msg)(down/) http://x/&calc (/down)(/war3)")
                          .arg(QString::fromLatin1(version))));
        w.form.reset(new Form1(w->Roots(), w.pages.get(), Platform{&w.dialogs, &w.opener, &w.exit}));
        w->Timer4->stop();
        w->Timer4_Timer();
        ASSERT_EQ(w.dialogs.messages.size(), 1);
        EXPECT_EQ(w.dialogs.messages.first().text, QStringLiteral("发现新版本！") + QString::fromLatin1(version));
        EXPECT_TRUE(w.dialogs.messages.first().title.isEmpty());
        ASSERT_EQ(w.opener.opened.size(), 1);  // the whole link, as one URL, never through a shell
        EXPECT_EQ(w.opener.opened.first().toString(), QStringLiteral("http://x/&calc"));
        EXPECT_EQ(w.exit.codes, QList<int>{0});
        EXPECT_EQ(w->windowTitle(), kCaption);
    }
}

TEST_F(AnnouncementWindow, LinksThatAreNotWebAddressesAreNotOpened)
{
    for (const char *link : {"file:///etc/passwd", "calc.exe", "", "cmd.exe /c del *"}) {
        w.opener.opened.clear();
        w.exit.codes.clear();
        serveFeed(rss(QStringLiteral("(war3/)(ben/)2.0(/ben)(down/)%1(/down)(/war3)").arg(QString::fromLatin1(link))));
        w.form.reset(new Form1(w->Roots(), w.pages.get(), Platform{&w.dialogs, &w.opener, &w.exit}));
        w->Timer4->stop();
        w->Timer4_Timer();
        EXPECT_TRUE(w.opener.opened.isEmpty()) << link;
        EXPECT_EQ(w.exit.codes, QList<int>{0}) << link;  // the program still ends
    }
}

TEST_F(AnnouncementWindow, OnlyTheFirstSectionCounts)
{
    serveFeed(rss(QStringLiteral("(war3/)(ben/)1.4(/ben)(msg/)first(/msg)(/war3) (war3/)(ben/)1.9(/ben)(msg/)second(/msg)(/war3)")));
    w->Timer4_Timer();
    EXPECT_EQ(w->windowTitle(), kCaption + QStringLiteral("  1.4    [ first ]"));
    EXPECT_TRUE(w.exit.codes.isEmpty());
}

TEST_F(AnnouncementWindow, NotANumberIsNoAnnouncement)
{
    for (const QString &body : {rss(QStringLiteral("(war3/)(ben/)abc(/ben)(msg/)m(/msg)(/war3)")),
                                rss(QStringLiteral("(war3/)(ben/)inf(/ben)(/war3)")),
                                rss(QStringLiteral("(war3/)(ben/)1e0(/ben)(/war3)")), rss(QStringLiteral("no markers"))}) {
        w.form.reset(new Form1(w->Roots(), w.pages.get(), Platform{&w.dialogs, &w.opener, &w.exit}));
        w->Timer4->stop();
        serveFeed(body);
        w->Timer4->start();
        w->Timer4_Timer();
        EXPECT_EQ(w->windowTitle(), kCaption);
        EXPECT_FALSE(w->Timer4->isActive());  // the check is done
        EXPECT_TRUE(w.exit.codes.isEmpty());
        EXPECT_TRUE(w.dialogs.messages.isEmpty());
    }
}

TEST_F(AnnouncementWindow, ErrorPageEndsTheCheckWithTheCaptionUnchanged)
{
    w.server().setOverride(QStringLiteral("files"), "/feed/announce.xml",
                           DemoResponse::html(QStringLiteral("<html><body>服务器错误</body></html>"), 500));
    w->Timer4->start();
    w->Timer4_Timer();
    EXPECT_FALSE(w->Timer4->isActive());
    EXPECT_EQ(w->windowTitle(), kCaption);
    EXPECT_TRUE(w.exit.codes.isEmpty());
}

TEST_F(AnnouncementWindow, BlankAnswersAreRetriedUntilARealOneWhichIsReadOnce)
{
    serveFeed(QStringLiteral("  "));
    w->Timer4->start();
    w->Timer4_Timer();
    EXPECT_TRUE(w->Timer4->isActive());
    EXPECT_EQ(w->windowTitle(), kCaption);
    serveFeed(QStringLiteral("\r\n"));  // line breaks are not blanks: this answer ends the check
    w->Timer4_Timer();
    EXPECT_FALSE(w->Timer4->isActive());
    serveFeed(rss(QStringLiteral("(war3/)(ben/)1.4(/ben)(msg/)x(/msg)(/war3)")));
    w->Timer4_Timer();
    EXPECT_EQ(w->windowTitle(), kCaption);
}

TEST_F(AnnouncementWindow, RunsByItselfAfterStartUp)
{
    // The bundled demo feed announces 1.4 with a Chinese message.
    w->Timer4->start();
    ASSERT_TRUE(WaitFor([&] { return w->windowTitle() != kCaption; }, 8000));
    EXPECT_TRUE(w->windowTitle().startsWith(kCaption + QStringLiteral("  1.4    [ ")));
    EXPECT_TRUE(w->windowTitle().contains(QStringLiteral("欢迎使用")));
    EXPECT_EQ(feedRequests(), 1);
}

TEST_F(AnnouncementWindow, WaitingOnASilentHostNeitherSpinsNorFetchesTwice)
{
    w.server().setOverride(QStringLiteral("files"), "/feed/announce.xml", [] {
        DemoResponse r;
        r.silent = true;
        return r;
    }());
    w->Timer4->setInterval(200);  // ticks come often while a fetch waits
    const std::clock_t cpu0 = std::clock();
    QElapsedTimer wall;
    wall.start();
    // Measured from inside the wait: the first fetch is still waiting at 2.8 s.
    double cpuSeconds = -1, wallSeconds = 0;
    int requestsDuringWait = -1;
    QTimer::singleShot(2800, [&] {
        cpuSeconds = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
        wallSeconds = wall.elapsed() / 1000.0;
        requestsDuringWait = feedRequests();
        w->Timer4->stop();
    });
    w->Timer4->start();
    ASSERT_TRUE(WaitFor([&] { return requestsDuringWait >= 0; }, 10000));
    EXPECT_EQ(requestsDuringWait, 1);  // one fetch at a time
    EXPECT_LT(cpuSeconds / wallSeconds, 0.25) << cpuSeconds << " s of CPU in " << wallSeconds << " s";
    EXPECT_EQ(w->windowTitle(), kCaption);
    w->Timer4->stop();
}
