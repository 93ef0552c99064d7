// Faults of the sites and of their input, one row each, in the real window on the
// demo site made to misbehave: no fault loses a file, writes outside the game
// folder, holds the window past its limits or shows a failure as success.
#include "demo/demofiles.h"
#include "download/playback.h"
#include "download/transfer.h"
#include "support/testfiles.h"
#include "support/testwindow.h"

#include "app/webpane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QWebEnginePage>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QtEndian>
#include <cstdio>
#include <unistd.h>

namespace {
const QString kDone = QStringLiteral("下载完毕！");
enum class Act { Listing, DotaListing, Click, DotaClick, Download, DotaDownload, Play, SetGame, Feed };
const char *const kActNames[] = {"菜单：最新录像", "菜单：DotA 最新", "点击第一行", "点击 DotA 第一行",
                                 "下载", "DotA 下载", "下载+播放录像", "设置魔兽+播放录像", "公告检查"};

DemoResponse Route(const char *target, bool files = false)
{
    DemoRequest r;
    r.target = target;
    return files ? *DemoFileRoute(r, DemoFileSite::Melee) : *DemoTestRoute(r);
}
DemoResponse Page(const QString &html) { return DemoResponse::html(html); }
// Every tag twice, or the page's tags and texts in reverse order (each end marker
// before its start marker).
QString Doubled(QString page) { return page.replace(QRegularExpression(QStringLiteral("(<[^<>]*>)")), QStringLiteral("\\1\\1")); }
QString Reversed(const QString &page)
{
    QStringList parts;
    for (auto it = QRegularExpression(QStringLiteral("<[^<>]*>|[^<]+|<")).globalMatch(page); it.hasNext();)
        parts.prepend(it.next().captured());
    return parts.join(QString());
}
// A real page with broken UTF-8 (a stray continuation, an overlong NUL, a
// surrogate, a cut sequence) and NUL bytes behind every tag.
DemoResponse Garbled(const QString &page)
{
    DemoResponse r = Page(QString());
    r.body = page.toUtf8().replace(">", QByteArray(">\x80\xff\xc0\x80\xed\xa0\x80\xe4\xb8\0\x01", 12));
    return r;
}
// `body`, announced as 4 KiB longer, then the connection closes.
DemoResponse Cut(const QByteArray &body)
{
    DemoResponse r = DemoResponse::bytes(body);
    r.announcedLength = body.size() + 4096;
    return r;
}
QString MeleeListing() { return DemoSite::meleeListingPage(DemoData::instance().melee, 1, QStringLiteral("http://127.0.0.1:1")); }
QString MeleeDetail() { return DemoSite::meleeDetailPage(DemoData::instance().melee.first()); }
QString DotaListing() { return DemoSite::dotaListingPage(DemoData::instance().dota, 1); }
QString DotaDetail(const QString &mapHref = QString(), const QString &playerData = QString())
{
    QString page = DemoSite::dotaDetailPage(DemoData::instance().dota.first());
    if (!mapHref.isEmpty())
        page.replace(QRegularExpression(QStringLiteral("labMapname\"><a href='[^']*'")), QStringLiteral("labMapname\"><a href='") + mapHref + u'\'');
    return page.replace(QStringLiteral("<span id=\"labPlayerdata\">"), QStringLiteral("<span id=\"labPlayerdata\">") + playerData);
}

// A melee detail page naming the replay `name`, the map at `mapPath` (fetched from
// "/ReplayMap/download/F/" + its file name) and the replay version.
QString Detail(const QString &name, const QString &mapPath = QStringLiteral("Maps\\Download\\Fault.w3x"),
               const QString &version = QStringLiteral("1.24"), const QString &field = QStringLiteral("Turtle Rock"))
{
    return QStringLiteral(
               "<html><body><div id=\"pagepart1\"><img id=\"replaymapimage\" src=\"/minimap/%5.jpg\" width=\"168\" height=\"168\" />"
               "<ul><li>使用地图：<span id=\"ctl00_Content_labUsemap\">%5<a id='downmap' href=\"javascript:getreplaymap('1','F','m')\" class='rnmap'>下载地图</a></span></li>"
               "<li>游戏时间：<span id=\"ctl00_Content_labTime\">%5</span></li><li>游戏人数：<span id=\"ctl00_Content_labUserno\">2</span></li>"
               "<li>游戏版本：<span id=\"ctl00_Content_labVer\">%3</span></li><li>更新时间：<span>2009</span></li>"
               "<li>地图位置：<span id=\"ctl00_Content_labMapPath\">%2</span></li><li><a href=\"/Download.aspx?ReplayID=%4&file=/replay/%1\">Download REP</a></li></ul></div>"
               "<div class=\"pcontent\">%5<div style=\"clear:both\"></div><ul id='playerdata1' class='dis'><li>第一队</li><li>种族</li><li>Human</li>"
               "<li>结果</li><li>胜</li><li>APM</li><li>99</li><li>h,%5</li><li></li><li></li></ul><ul id='playerdata2' class='dis'></ul><div id=\"pagepart3\"></div></body></html>")
        .arg(name, mapPath, version, QString::number(DemoData::instance().melee.first().id), field);
}

// The demo Game.dll with its resource directory's first entry pointing back at the directory itself.
QByteArray LoopingGameDll(QByteArray d)
{
    auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(d.constData() + at); };
    auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(d.constData() + at); };
    const quint32 pe = u32(0x3C), opt = pe + 24, sections = opt + u16(pe + 20);
    const quint32 rva = u32(opt + (u16(opt) == 0x20B ? 112 : 96) + 2 * 8);
    for (int i = 0; i < u16(pe + 6); ++i) {
        const quint32 s = sections + 40 * i, va = u32(s + 12), size = qMax(u32(s + 8), u32(s + 16));
        if (rva >= va && rva < va + size)
            qToLittleEndian<quint32>(0x80000000u, d.data() + u32(s + 20) + (rva - va) + 16 + 4);
    }
    return d;
}

struct Ctx {
    TestWindow &w;
    QString game;
    std::optional<DemoResponse> detail;  // the first row's detail page
    int modals = 0;  // modal boxes seen (and closed): a page's own would hold the window
    void over(const char *path, const DemoResponse &r, const char *site = "melee") { w.server().setOverride(QLatin1String(site), path, r); }
};
using Setup = std::function<void(Ctx &)>;
using Check = std::function<bool(Ctx &)>;

struct Row {
    const char *name;
    Act act;
    Setup setup;
    const char *said;  // start of the first message; "" none at all, nullptr any
    bool fails = true; // a failure: never "下载完毕！", never a launch
    Check more = {};
};

Setup At(const char *path, const DemoResponse &r, const char *site = "melee") { return [=](Ctx &c) { c.over(path, r, site); }; }
Setup DetailIs(const DemoResponse &r) { return [=](Ctx &c) { c.detail = r; }; }
Setup Names(const QString &replay, const QString &map = u8s("Maps\\Download\\Fault.w3x"), const QString &version = u8s("1.24"))
{
    return DetailIs(Page(Detail(replay, map, version)));
}
Setup Feed(const QString &link) { return At("/feed/announce.xml", Page(u8s("(war3/)(ben/)9.9(/ben)(msg/)m(/msg)(down/)") + link + u8s("(/down)(/war3)")), "files"); }
Setup GameDll(QByteArray (*make)(QByteArray))
{
    return [=](Ctx &c) { WriteBytes(c.game + u8s("/Game.dll"), make(ReadBytes(c.game + u8s("/Game.dll")))); };
}
Check Shows(const char *text) { return [=](Ctx &c) { return !c.w.dialogs.texts().filter(u8s(text)).isEmpty(); }; }
bool Empty(Ctx &c) { return c.w->Text2->text().isEmpty() && c.w->Text8->text().isEmpty() && c.w->Text10->text().isEmpty(); }
bool NoRows(Ctx &c) { return c.w->ListView1->topLevelItemCount() == 0; }
bool NothingOpened(Ctx &c) { return c.w.opener.opened.isEmpty(); }

// The page's boxes stay shut; a key press in the pane lets one box show.
bool OneBoxPerPress(Ctx &c)
{
    int alerts = 0;
    QObject::connect(c.w->WebBrowser2, &WebPane::AlertShown, [&] { ++alerts; });
    const bool shut = WaitFor([&] { return alerts > 0; }, 3000) && !WaitFor([] { return false; }, 300) && c.modals == 0;
    QTest::keyClick(c.w->WebBrowser2->focusProxy(), Qt::Key_Shift);
    c.w->WebBrowser2->page()->runJavaScript(u8s("alert(3); alert(4);"));
    const bool one = WaitFor([&] { return alerts >= 3; }, 3000) && !WaitFor([] { return false; }, 300) && c.modals == 1;
    c.modals = 0;
    return shut && one;
}

const QList<Row> &Rows()
{
    const char *L = "/Default.aspx", *D = "/DotaList.aspx", *R = "/Download.aspx", *F = "/feed/announce.xml";
    const char *const noReplay = "无法保存录像：", *const noMap = "无法保存地图：", *const failed = "下载失败：", *const done = "下载完毕！";
    static const QList<Row> rows = {
        {"listing: connection refused", Act::Listing, nullptr, "", true, NoRows},
        {"listing: never answers", Act::Listing, At(L, Route("/_test/silent")), "", true, NoRows},
        {"listing: one byte a second", Act::Listing, At(L, Route("/_test/slow")), "", true, NoRows},
        {"listing: 404 with a page", Act::Listing, At(L, Route("/_test/status/404")), "", true, NoRows},
        {"listing: 500 with a page", Act::Listing, At(L, Route("/_test/status/500")), "", true, NoRows},
        {"listing: 20 MiB page", Act::Listing, At(L, Route("/_test/huge/20")), "", true, NoRows},
        {"listing: endless flood", Act::Listing, At(L, Route("/_test/flood")), "", true, NoRows},
        {"listing: binary bytes", Act::Listing, At(L, Route("/_test/bytes/65536")), "", true, NoRows},
        {"listing: invalid UTF-8", Act::Listing, At(L, Garbled(MeleeListing())), ""},
        {"listing: markers doubled", Act::Listing, At(L, Page(Doubled(MeleeListing()))), ""},
        {"listing: markers reversed", Act::Listing, At(L, Page(Reversed(MeleeListing()))), ""},
        {"dota listing: invalid UTF-8", Act::DotaListing, At(D, Garbled(DotaListing()), "dota"), ""},
        {"dota listing: markers doubled", Act::DotaListing, At(D, Page(Doubled(DotaListing())), "dota"), ""},
        {"dota listing: markers reversed", Act::DotaListing, At(D, Page(Reversed(DotaListing())), "dota"), ""},
        {"listing: detail links file:", Act::Click, At(L, Page(MeleeListing().replace(u8s("http://127.0.0.1:1"), u8s("file:///etc/passwd#")))), "", true, Empty},
        {"detail: never answers", Act::Click, DetailIs(Route("/_test/silent")), "", true, Empty},
        {"detail: one byte a second", Act::Click, DetailIs(Route("/_test/slow")), "", true, Empty},
        {"detail: 500 with a page", Act::Click, DetailIs(Route("/_test/status/500")), "", true, Empty},
        {"detail: 20 MiB page", Act::Click, DetailIs(Route("/_test/huge/20")), "", true, Empty},
        {"detail: binary bytes", Act::Click, DetailIs(Route("/_test/bytes/65536")), ""},
        {"detail: invalid UTF-8", Act::Click, DetailIs(Garbled(MeleeDetail())), ""},
        {"detail: markers doubled", Act::Click, DetailIs(Page(Doubled(MeleeDetail()))), ""},
        {"detail: markers reversed", Act::Click, DetailIs(Page(Reversed(MeleeDetail()))), ""},
        {"detail: markup, quotes, script", Act::Click,
         DetailIs(Page(Detail(u8s("a.w3g"), u8s("Maps\\x.w3x"), u8s("1.24"), u8s("x' onerror='alert(1)' \"<script>alert(2)</script><b>T</b>")))), "", true,
         [](Ctx &c) {  // the minimap pane gets the picture address as an escaped attribute
             const QString t = c.w->WebBrowser1->WrittenText();
             return !t.contains(u8s("<script>alert")) && !t.contains(u8s("' onerror"));
         }},
        {"dota detail: invalid UTF-8", Act::DotaClick, DetailIs(Garbled(DotaDetail())), nullptr},
        {"dota detail: markers doubled", Act::DotaClick, DetailIs(Page(Doubled(DotaDetail()))), nullptr},
        {"dota detail: markers reversed", Act::DotaClick, DetailIs(Page(Reversed(DotaDetail()))), nullptr},
        {"dota detail: script in player data", Act::DotaClick, DetailIs(Page(DotaDetail(QString(), u8s("<script>alert(1);confirm(2);prompt(3)</script>")))), "", true, OneBoxPerPress},
        {"replay: reset mid-body", Act::Download, At(R, Route("/_files/cut/5000", true)), failed},
        {"replay: 404 with a page", Act::Download, At(R, Route("/_files/404", true)), failed},
        {"replay: 500 with a page", Act::Download, At(R, Route("/_test/status/500")), failed},
        {"replay: a page, not a replay", Act::Download, At(R, Route("/_files/htmlreplay", true)), failed},
        {"map: reset mid-body", Act::Download, At("/ReplayMap/download/F/Fault.w3x", Cut(DemoMapBytes(5000, 1))), failed},
        {"replay name ..\\", Act::Download, Names(u8s("..\\..\\..\\evil.w3g")), noReplay},
        {"replay name ../ (last part kept)", Act::Download, Names(u8s("../../../evil.w3g")), done, false,
         [](Ctx &c) { return FilesBelow(c.game + u8s("/replay")).filter(u8s("evil.w3g")).size() == 1; }},
        {"replay name drive letter", Act::Download, Names(u8s("C:\\evil.w3g")), noReplay},
        {"replay name CON", Act::Download, Names(u8s("CON")), noReplay},
        {"replay name nul.w3g", Act::Download, Names(u8s("nul.w3g")), noReplay},
        {"replay name of 300 characters", Act::Download, Names(QString(296, u'r') + u8s(".w3g")), noReplay},
        {"map path ..\\", Act::Download, Names(u8s("a.w3g"), u8s("Maps\\..\\..\\..\\evil.w3x")), noMap},
        {"map path ../", Act::Download, Names(u8s("a.w3g"), u8s("Maps\\../../../evil.w3x")), noMap},
        {"map path absolute", Act::Download, Names(u8s("a.w3g"), u8s("Maps\\/tmp/evil.w3x")), noMap},
        {"map path drive letter", Act::Download, Names(u8s("a.w3g"), u8s("Maps\\C:\\evil.w3x")), noMap},
        {"map name AUX.w3x", Act::Download, Names(u8s("a.w3g"), u8s("Maps\\AUX.w3x")), noMap},
        {"map name of 300 characters", Act::Download, Names(u8s("a.w3g"), u8s("Maps\\") + QString(296, u'm') + u8s(".w3x")), noMap},
        {"map differs only in case", Act::Download, Names(u8s("a.w3g"), u8s("Maps\\DOWNLOAD\\good.W3X")), done, false,
         [](Ctx &c) { return FilesBelow(c.game).filter(u8s(".w3x"), Qt::CaseInsensitive).size() == 1; }},
        {"dota map path ../", Act::DotaDownload, DetailIs(Page(DotaDetail(u8s("/../../../evil.w3x")))), nullptr, true, Shows("无法保存地图：路径离开魔兽目录")},
        {"dota map path absolute", Act::DotaDownload, DetailIs(Page(DotaDetail(u8s("//tmp/evil.w3x")))), nullptr, true, Shows(noMap)},
        {"game folder read-only", Act::Download,
         [](Ctx &c) {
             if (geteuid() == 0) {  // root writes anyway: a file stands where the replay folder must go
                 QDir(c.game + u8s("/replay")).removeRecursively();
                 WriteBytes(c.game + u8s("/replay"), "not a folder");
             } else {
                 QFile::setPermissions(c.game + u8s("/replay"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
             }
         }, nullptr},
        {"replay name with shell syntax", Act::Play, Names(u8s("a;$(touch x)&b`id`.w3g")), done, false,
         [](Ctx &c) {  // the name reaches the game as one argument, never a shell
             const QList<LaunchPlan> &s = c.w.launcher.started;
             return s.size() == 1 && s[0].arguments.last().endsWith(u8s("a;$(touch x)&b`id`.w3g")) && !s[0].program.endsWith(u8s("sh"));
         }},
        {"replay of another version", Act::Play, Names(u8s("a.w3g"), u8s("Maps\\Download\\Good.w3x"), u8s("1.99")), done, false,
         [](Ctx &c) { return c.w.launcher.started.isEmpty() && Shows("当前魔兽版本不对应录像版本！")(c); }},
        {"Game.dll truncated", Act::SetGame, GameDll([](QByteArray d) { return d.left(700); }), "未能取得信息!"},
        {"Game.dll not a PE file", Act::SetGame, GameDll([](QByteArray) { return QByteArray("MZ this is no program").repeated(300); }), "未能取得信息!"},
        {"Game.dll resources loop", Act::SetGame, GameDll(LoopingGameDll), "未能取得信息!"},
        {"feed link file:", Act::Feed, Feed(u8s("file:///etc/passwd")), "发现新版本！", true, NothingOpened},
        {"feed link javascript:", Act::Feed, Feed(u8s("javascript:alert(1)")), "发现新版本！", true, NothingOpened},
        {"feed link shell command", Act::Feed, Feed(u8s("cmd /c del /q * & calc.exe")), "发现新版本！", true, NothingOpened},
        {"feed of 20 MiB", Act::Feed, At(F, Route("/_test/huge/20"), "files"), "", true, NothingOpened},
        {"feed never answers", Act::Feed, At(F, Route("/_test/silent"), "files"), "", true, NothingOpened},
    };
    return rows;
}

// Every file below `folder` with its bytes.
QMap<QString, QByteArray> Snapshot(const QString &folder)
{
    QMap<QString, QByteArray> out;
    for (const QString &f : FilesBelow(folder))
        out.insert(f, ReadBytes(QDir(folder).filePath(f)));
    return out;
}
} // namespace

TEST(Faults, NoFaultLosesAFileHangsOrShowsSuccess)
{
    QStringList table;
    int failed = 0;
    for (const Row &row : Rows()) {
        QTemporaryDir root;
        const QString game = root.filePath(QStringLiteral("a/b/game"));
        WriteBytes(root.filePath(QStringLiteral("evil.w3g")), "outside, before");
        WriteBytes(game + QStringLiteral("/replay/Old.w3g"), DemoReplayBytes(4096, 7));
        WriteBytes(game + QStringLiteral("/Maps/Download/Good.w3x"), DemoMapBytes(8192, 7));
        CopyDemoGame(game);
        SiteRoots roots;
        if (row.act == Act::Listing && !row.setup) {  // a site root on a port nobody listens on
            QTcpServer closed;
            closed.listen(QHostAddress::LocalHost);
            roots.melee = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
        }
        TestWindow w(true, roots);
        w.pages->setTimeoutMs(1500);
        w->Timer4->stop();
        w->Timer2->stop();
        Ctx c{w, game};
        c.over("/ReplayMap/download/F/Fault.w3x", Route("/_files/map/3000", true));
        if (row.act == Act::Download || row.act == Act::Play)
            c.detail = Page(Detail(u8s("Fault.w3g")));
        if (row.setup)
            row.setup(c);
        const QMap<QString, QByteArray> before = Snapshot(root.path());
        w.dialogs.openFileAnswers.push_back(game + QStringLiteral("/War3.exe"));
        w->Command2_Click();
        if (row.act != Act::SetGame)
            w.dialogs.messages.clear();

        QTimer watchdog;
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            if (QWidget *m = QApplication::activeModalWidget()) {
                ++c.modals;
                m->close();
            }
        });
        watchdog.start(100);
        QElapsedTimer clock;
        clock.start();
        if (row.act == Act::Listing || row.act == Act::Click || row.act == Act::Download || row.act == Act::Play)
            w->all_Click();
        const bool dota = row.act == Act::DotaListing || row.act == Act::DotaClick || row.act == Act::DotaDownload;
        if (dota)
            w->dotanew_Click();
        if (row.act != Act::Listing && row.act != Act::DotaListing && w->List1->count() > 0) {
            if (c.detail)
                w.server().setOverride(dota ? QStringLiteral("dota") : QStringLiteral("melee"),
                                       QUrl(w->List1->item(0)->text()).path(QUrl::FullyEncoded).toLatin1(), *c.detail);
            w->ListView1->setCurrentItem(w->ListView1->topLevelItem(0));
            w->ListView1_ItemClick();
        }
        if (row.act == Act::Download || row.act == Act::DotaDownload || row.act == Act::Play) {
            const qsizetype shown = w.dialogs.messages.size();
            w->Command1->click();
            WaitFor([&] { return w.dialogs.messages.size() > shown && !w->Transfer && !w->Timer1->isActive(); }, 20000);
        }
        if (row.act == Act::SetGame) {  // a replay the game would fit, had its version been read
            w->Text5->setText(QStringLiteral("1.24"));
            w->ReplayPath = game + QStringLiteral("/replay/Old.w3g");
        }
        if (row.act == Act::Play || row.act == Act::SetGame)
            w->Command3_Click();
        if (row.act == Act::Feed)
            w->Timer4_Timer();
        const qint64 ms = clock.elapsed();
        bool alive = false;  // the window still answers its message loop
        QTimer::singleShot(0, w.form.get(), [&] { alive = true; });
        WaitFor([&] { return alive; }, 2000);

        const QMap<QString, QByteArray> after = Snapshot(root.path());
        bool kept = true, outside = true;
        for (auto it = before.begin(); it != before.end(); ++it)
            kept = kept && after.value(it.key()) == it.value();
        for (const QString &f : after.keys())
            outside = outside && (before.contains(f) || f.startsWith(QStringLiteral("a/b/game/")));
        const QStringList said = w.dialogs.texts();
        const bool saidOk = !row.said || (*row.said ? !said.isEmpty() && said.first().startsWith(QString::fromUtf8(row.said)) : said.isEmpty());
        const bool noFalseSuccess = !row.fails || (!said.contains(kDone) && w.launcher.started.isEmpty());
        bool openedWeb = true;
        for (const QUrl &u : w.opener.opened)
            openedWeb = openedWeb && IsWebAddress(u);
        const bool rowOk = !row.more || row.more(c);  // before the generic checks: it may wait for the panes
        const bool checks[] = {alive && c.modals == 0 && ms < (row.act == Act::Feed ? 6000 : 5000), kept, outside, saidOk, noFalseSuccess, openedWeb,
                               FilesBelow(game).filter(FileTransfer::kPartSuffix).isEmpty(), rowOk};
        const char *const names[] = {"bounded", "files kept", "nothing outside", "message", "no false success",
                                     "web links only", "no partial file", "row"};
        QStringList broken;
        for (int k = 0; k < 8; ++k)
            if (!checks[k])
                broken << QLatin1String(names[k]);
        QString outcome = said.join(QStringLiteral(" / ")).left(28);
        if (row.act == Act::Listing || row.act == Act::DotaListing)
            outcome = QStringLiteral("%1 rows ").arg(w->ListView1->topLevelItemCount()) + outcome;
        outcome += QStringLiteral(" (%1 ms)").arg(ms);
        table << QStringLiteral("%1 | %2 | %3 | %4").arg(QString::fromLatin1(row.name).leftJustified(34), QString::fromUtf8(kActNames[int(row.act)]),
                                                        outcome, broken.isEmpty() ? QStringLiteral("8/8") : QStringLiteral("%1/8 FAILED: ").arg(8 - broken.size()) + broken.join(u','));
        EXPECT_TRUE(broken.isEmpty()) << row.name << ": " << qPrintable(broken.join(u',')) << " said " << qPrintable(said.join(u'|'));
        failed += broken.isEmpty() ? 0 : 1;
        if (geteuid() != 0)
            QFile::setPermissions(game + QStringLiteral("/replay"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    std::printf("\ncase | action | outcome | checks passed\n%s\n%d of %d cases failed\n", qPrintable(table.join(u'\n')), failed, int(Rows().size()));
}
