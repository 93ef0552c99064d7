// Faults of the sites and of their input, one row each, in the real window on the
// demo site made to misbehave: no fault loses a file, writes outside the game
// folder, holds the window past its limits or shows a failure as success. One row
// per fetch status and road, per refusal and per parser.
#include "demo/demofiles.h"
#include "download/downloadsequence.h"
#include "support/testwindow.h"

#include <QTcpServer>
#include <QWebEnginePage>
#include <cstdio>
#include <unistd.h>

namespace {
enum Act { Listing, DotaListing, Click, DotaClick, Download, DotaDownload, Play, SetGame, Feed };
const char *const kActNames[] = {"菜单：最新录像", "菜单：DotA 最新", "点击第一行", "点击 DotA 第一行",
                                 "下载", "DotA 下载", "下载+播放录像", "设置魔兽+播放录像", "公告检查"};

// An answer of the demo site's test routes ("/_test/...") or file routes ("/_files/...").
DemoResponse Route(const char *target, bool files = false) { const DemoRequest r{.target = target}; return files ? *DemoFileRoute(r, DemoFileSite::Melee) : *DemoTestRoute(r); }
// `page` as an answer, with group 1 of each pattern's first match replaced by its text,
// then spoilt as `how` says: 'd' every tag twice; 'r' its tags and texts in reverse
// order (each end marker before its start marker); 'u' broken UTF-8 (a stray
// continuation, an overlong NUL, a surrogate, a cut sequence) and NUL bytes behind every tag.
DemoResponse Page(QString page, std::initializer_list<std::pair<const char *, QString>> edits = {}, char how = 0)
{
    for (const auto &[pattern, text] : edits) {
        const QRegularExpressionMatch m = QRegularExpression(u8s(pattern)).match(page);
        EXPECT_TRUE(m.hasMatch()) << pattern;
        page.replace(m.hasMatch() ? m.capturedStart(1) : page.size(), m.capturedLength(1), text);
    }
    if (how == 'd')
        page.replace(QRegularExpression(u8s("(<[^<>]*>)")), u8s("\\1\\1"));
    QStringList parts;
    for (auto it = QRegularExpression(u8s("<[^<>]*>|[^<]+|<")).globalMatch(page); how == 'r' && it.hasNext();)
        parts.prepend(it.next().captured());
    DemoResponse r = DemoResponse::html(how == 'r' ? parts.join(QString()) : page);
    if (how == 'u')
        r.body = page.toUtf8().replace(">", QByteArray(">\x80\xff\xc0\x80\xed\xa0\x80\xe4\xb8\0\x01", 12));
    return r;
}
QString MeleeListingPage(const char *root = "http://127.0.0.1:1") { return DemoSite::meleeListingPage(DemoData::instance().melee, 1, u8s(root)); }
QString MeleeDetailPage() { return DemoSite::meleeDetailPage(DemoData::instance().melee.first()); }
QString DotaListingPage() { return DemoSite::dotaListingPage(DemoData::instance().dota, 1); }
QString DotaDetailPage() { return DemoSite::dotaDetailPage(DemoData::instance().dota.first()); }
// `body`, announced as 4 KiB longer, then the connection closes.
DemoResponse Cut(const QByteArray &body) { DemoResponse r = DemoResponse::bytes(body); r.announcedLength = body.size() + 4096; return r; }

// The demo Game.dll with its resource directory's first entry pointing back at the directory itself.
QByteArray LoopingGameDll(QByteArray d)
{
    auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(d.constData() + at); };
    auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(d.constData() + at); };
    const quint32 pe = u32(0x3C), opt = pe + 24, sections = opt + u16(pe + 20), rva = u32(opt + (u16(opt) == 0x20B ? 112 : 96) + 2 * 8);
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
    void over(const QByteArray &path, const DemoResponse &r, const char *site = "melee") { w.server().setOverride(u8s(site), path, r); }
};
using Setup = std::function<void(Ctx &)>;

// A row that expects "下载完毕！" is a success; every other one a failure: never that
// message, never a launch.
struct Row {
    QString name;
    Act act;
    Setup setup;
    const char *said;   // start of the first message; "" none at all, nullptr any
    std::function<bool(Ctx &)> more;  // the row's own check, if any
};

Setup At(const char *path, const DemoResponse &r, const char *site = "melee") { return [=](Ctx &c) { c.over(path, r, site); }; }
Setup DetailIs(const DemoResponse &r) { return [=](Ctx &c) { c.detail = r; }; }
// The first melee replay's detail page naming the replay `replay`, the map at `map`
// (fetched from "/ReplayMap/download/F/" + its file name) and the replay version.
Setup Names(const QString &replay, const QString &map = u8s("Maps\\Download\\Fault.w3x"), const QString &version = u8s("1.24"))
{
    return DetailIs(Page(MeleeDetailPage(), {{"file=/replay/([^\"]*)", replay}, {"getreplaymap\\('\\d+','([^']*)'", u8s("F")},
                                              {"labMapPath\">([^<]*)", map}, {"labVer\">([^<]*)", version}}));
}
Setup GameDll(QByteArray (*make)(QByteArray)) { return [=](Ctx &c) { WriteBytes(c.game + u8s("/Game.dll"), make(ReadBytes(c.game + u8s("/Game.dll")))); }; }
auto Shows(const char *text) { return [=](Ctx &c) { return !c.w.dialogs.texts().filter(u8s(text)).isEmpty(); }; }
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
    const bool one = WaitFor([&] { return alerts >= 3; }, 3000) && !WaitFor([] { return false; }, 300);
    return std::exchange(c.modals, 0) == 1 && shut && one;  // the one box seen is no fault of the row
}

QList<Row> Rows()
{
    auto L = [](const DemoResponse &r) { return At("/Default.aspx", r); };  // the melee listing
    auto D = [](const DemoResponse &r) { return At("/DotaList.aspx", r, "dota"); };
    auto F = [](const DemoResponse &r) { return At("/feed/announce.xml", r, "files"); };  // the announcement
    auto R = [](const char *t) { return At("/Download.aspx", Route(t, true)); };  // the replay
    auto M = [](const QString &map) { return Names(u8s("a.w3g"), u8s("Maps\\") + map); };
    auto DotaMap = [](const char *href) { return DetailIs(Page(DotaDetailPage(), {{"labMapname\"><a href='([^']*)'", u8s(href)}})); };
    const char *const noMap = "无法保存地图：", *const done = "下载完毕！";
    const char *const noDetail = "未能取得该录像的详细信息！";
    const QString tricks = u8s("x' onerror='alert(1)' \"<script>alert(2)</script><b>T</b>");
    QList<Row> rows = {
        // Page roads: every fetch status once; the listing shows no rows, the detail no fields.
        {"listing: connection refused", Listing, nullptr, "", NoRows}, {"listing: one byte a second", Listing, L(Route("/_test/slow")), "", NoRows},
        {"listing: 404 with a page", Listing, L(Route("/_test/status/404")), "", NoRows}, {"listing: 20 MiB page", Listing, L(Route("/_test/huge/20")), "", NoRows},
        {"listing: endless flood", Listing, L(Route("/_test/flood")), "", NoRows}, {"listing: binary bytes", Listing, L(Route("/_test/bytes/65536")), "", NoRows},
        {"listing: detail links file:", Click, L(Page(MeleeListingPage("file:///etc/passwd#"))), noDetail, Empty}, {"detail: 20 MiB page", Click, DetailIs(Route("/_test/huge/20")), noDetail, Empty},
        {"detail: never answers", Click, DetailIs(Route("/_test/silent")), noDetail, Empty}, {"detail: 500 with a page", Click, DetailIs(Route("/_test/status/500")), noDetail, Empty},
        {"dota detail: 500 with a page", DotaClick, DetailIs(Route("/_test/status/500")), noDetail, Empty}, {"dota detail: empty page", DotaClick, DetailIs(Page(QString())), noDetail, Empty},
        {"detail: markup, quotes, script", Click,
         DetailIs(Page(MeleeDetailPage(), {{"/minimap/([^.]*)", tricks}, {"labUsemap\">([^<]*)", tricks}, {"labTime\">([^<]*)", tricks}})), "",
         [](Ctx &c) { return !c.w->WebBrowser1->WrittenText().contains(QRegularExpression(u8s("<script>alert|' onerror"))); }},  // an escaped attribute
        {"dota detail: script in player data", DotaClick,
         DetailIs(Page(DotaDetailPage(), {{"<span id=\"labPlayerdata\">()", u8s("<script>alert(1);confirm(2);prompt(3)</script>")}})), "", OneBoxPerPress},
        // The file road: every way a file fails, then every refusal of a name or path,
        // each with its whole text: what failed and why.
        {"replay: reset mid-body", Download, R("/_files/cut/5000"), "下载失败：录像文件，文件不完整"},
        {"replay: 404 with a page", Download, R("/_files/404"), "下载失败：录像文件，服务器返回 404"},
        {"replay: a page, not a replay", Download, R("/_files/htmlreplay"), "下载失败：录像文件，不是录像文件"},
        {"replay: never answers", Download, [](Ctx &c) {
             c.over("/Download.aspx", Route("/_test/silent"));
             c.w->Download->setTransferSetup([](FileTransfer &t) { t.setStallTimeout(500); });
         }, "下载失败：录像文件，连接超时"},
        {"map: reset mid-body", Download, At("/ReplayMap/download/F/Fault.w3x", Cut(DemoMapBytes(5000, 1))), "下载失败：地图文件，文件不完整。录像已保存。"},
        {"map: 404 with a page", Download, At("/ReplayMap/download/F/Fault.w3x", Route("/_files/404", true)), "下载失败：地图文件，服务器返回 404。录像已保存。"},
        {"map: a replay, not a map", Download, At("/ReplayMap/download/F/Fault.w3x", Route("/_files/replay/2048", true)), "下载失败：地图文件，不是地图文件。录像已保存。"},
        {"replay name ..\\", Download, Names(u8s("..\\..\\..\\evil.w3g")), "无法保存录像：名称含有路径分隔符"},
        {"replay name CON", Download, Names(u8s("CON")), "无法保存录像：名称是设备名"},
        {"replay name ../ (last part kept)", Download, Names(u8s("../../../evil.w3g")), done,
         [](Ctx &c) { return FilesBelow(c.game + u8s("/replay")).filter(u8s("evil.w3g")).size() == 1; }},
        {"replay name drive letter", Download, Names(u8s("C:\\evil.w3g")), "无法保存录像：名称含有不允许的字符 :"},
        {"replay name of 300 characters", Download, Names(QString(296, u'r') + u8s(".w3g")), "无法保存录像：名称过长"},
        {"replay name ..%5C", Download, Names(u8s("..%5C..%5Cevil.w3g")), "无法保存录像：名称含有路径分隔符"},
        {"replay name empty", Download, Names(QString()), "无法保存录像：名称为空"},
        {"map path ../", Download, M(u8s("../../../evil.w3x")), "无法保存地图：路径离开魔兽目录"},
        {"map path absolute", Download, M(u8s("/tmp/evil.w3x")), "无法保存地图：路径含有空的部分"},  // behind "Maps\\"
        {"map name AUX.w3x", Download, M(u8s("AUX.w3x")), "无法保存地图：名称是设备名"},
        {"map differs only in case", Download, M(u8s("DOWNLOAD\\good.W3X")), done,
         [](Ctx &c) { return FilesBelow(c.game).filter(u8s(".w3x"), Qt::CaseInsensitive).size() == 1; }},
        {"dota map path ../", DotaDownload, DotaMap("/../../../evil.w3x"), nullptr, Shows("无法保存地图：路径离开魔兽目录")},
        {"dota map path absolute", DotaDownload, DotaMap("//tmp/evil.w3x"), nullptr, Shows(noMap)},
        {"dota map path drive letter", DotaDownload, DotaMap("/C:/evil.w3x"), nullptr, Shows(noMap)},
        {"game folder read-only", Download, [](Ctx &c) {
             QFile::setPermissions(c.game + u8s("/replay"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
             if (geteuid() == 0)  // root writes anyway: a file stands where the replay folder must go
                 QDir(c.game + u8s("/replay")).removeRecursively(), WriteBytes(c.game + u8s("/replay"), "not a folder");
         }, "下载失败：录像文件，磁盘已满或无法写入"},
        // The game: a name is one argument, a version that differs or cannot be read stops the launch.
        {"replay name with shell syntax", Play, Names(u8s("a;$(touch x)&b`id`.w3g")), done, [](Ctx &c) {  // one argument, never a shell
             const QList<LaunchPlan> &s = c.w.launcher.started;
             return s.size() == 1 && s[0].arguments.last().endsWith(u8s("a;$(touch x)&b`id`.w3g")) && !s[0].program.endsWith(u8s("sh"));
         }},
        {"replay of another version", Play, Names(u8s("a.w3g"), u8s("Maps\\Download\\Good.w3x"), u8s("1.99")), done,
         [](Ctx &c) { return c.w.launcher.started.isEmpty() && Shows("当前魔兽版本不对应录像版本！")(c); }},
        {"Game.dll truncated", SetGame, GameDll([](QByteArray d) { return d.left(700); }), "未能取得信息!"}, {"Game.dll resources loop", SetGame, GameDll(LoopingGameDll), "未能取得信息!"},
        {"Game.dll not a PE file", SetGame, GameDll([](QByteArray) { return QByteArray("MZ this is no program").repeated(300); }), "未能取得信息!"},
        // The announcement: its link opens only as a web address; a failed fetch says nothing.
        {"feed link file:", Feed, F(Page(u8s("(war3/)(ben/)9.9(/ben)(msg/)m(/msg)(down/)file:///etc/passwd(/down)(/war3)"))), "发现新版本！", NothingOpened},
        {"feed of 20 MiB", Feed, F(Route("/_test/huge/20")), "", NothingOpened}, {"feed never answers", Feed, F(Route("/_test/silent")), "", NothingOpened},
    };
    // Each parser on spoilt pages: whatever it makes of them, quietly (a DotA detail may miss its map).
    const std::tuple<const char *, Act, std::function<Setup(const DemoResponse &)>, QString, const char *> parsers[] = {
        {"listing", Listing, L, MeleeListingPage(), ""}, {"dota listing", DotaListing, D, DotaListingPage(), ""},
        {"detail", Click, DetailIs, MeleeDetailPage(), ""}, {"dota detail", DotaClick, DetailIs, DotaDetailPage(), nullptr}};
    for (const auto &[where, act, at, page, said] : parsers)
        for (const auto &[how, what] : {std::pair{'u', "invalid UTF-8"}, {'d', "markers doubled"}, {'r', "markers reversed"}})
            rows.append({u8s(where) + u8s(": ") + u8s(what), act, at(Page(page, {}, how)), said});
    return rows;
}
} // namespace

TEST(Faults, NoFaultLosesAFileHangsOrShowsSuccess)
{
    QStringList table;
    const QList<Row> rows = Rows();
    for (const Row &row : rows) {
        auto is = [&row](std::initializer_list<Act> acts) { return std::find(acts.begin(), acts.end(), row.act) != acts.end(); };
        QTemporaryDir root;
        const QString game = root.filePath(u8s("a/b/game"));
        WriteBytes(root.filePath(u8s("evil.w3g")), "outside, before");
        WriteBytes(game + u8s("/replay/Old.w3g"), DemoReplayBytes(4096, 7));
        WriteBytes(game + u8s("/Maps/Download/Good.w3x"), DemoMapBytes(8192, 7));
        CopyDemoGame(game);
        SiteRoots roots;
        if (row.act == Listing && !row.setup) {  // a site root on a port nobody listens on
            QTcpServer closed;
            closed.listen(QHostAddress::LocalHost);
            roots.melee = u8s("http://127.0.0.1:%1").arg(closed.serverPort());
        }
        TestWindow w(true, roots);
        w.pages->setTimeoutMs(1500);
        w->Timer4->stop();
        w->Timer2->stop();
        Ctx c{w, game};
        const QByteArray whole[] = {DemoReplayFile(DemoData::instance().melee.first().id), Route("/_files/map/3000", true).body};  // all that is served whole
        c.over("/ReplayMap/download/F/Fault.w3x", DemoResponse::bytes(whole[1]));
        if (is({Download, Play}))
            Names(u8s("Fault.w3g"))(c);
        if (row.setup)
            row.setup(c);
        const QMap<QString, QByteArray> before = FileBytesBelow(root.path());
        w.dialogs.openFileAnswers.push_back(game + u8s("/War3.exe"));
        w->Command2_Click();
        if (row.act != SetGame)
            w.dialogs.messages.clear();

        QTimer watchdog;  // closes the modal boxes, counting them
        watchdog.callOnTimeout([&] { if (QWidget *m = QApplication::activeModalWidget()) ++c.modals, m->close(); });
        watchdog.start(100);
        QElapsedTimer clock;
        clock.start();
        const bool dota = is({DotaListing, DotaClick, DotaDownload});
        if (dota || is({Listing, Click, Download, Play}))
            dota ? w->dotanew_Click() : w->all_Click();
        if (!is({Listing, DotaListing}) && w->List1->count() > 0) {
            if (c.detail)
                c.over(QUrl(w->List1->item(0)->text()).path(QUrl::FullyEncoded).toLatin1(), *c.detail, dota ? "dota" : "melee");
            ClickRow(w, w->ListView1->topLevelItem(0));
        }
        if (is({Download, DotaDownload, Play})) {
            const qsizetype shown = w.dialogs.messages.size();
            w->Command1->click();
            WaitFor([&] { return w.dialogs.messages.size() > shown && !w->Download->isRunning(); }, 20000);
        }
        if (row.act == SetGame)  // a replay the game would fit, had its version been read
            w->Text5->setText(u8s("1.24")), w->ReplayPath = game + u8s("/replay/Old.w3g");
        if (is({Play, SetGame}))
            w->Command3_Click();
        if (row.act == Feed)
            w->Timer4_Timer();
        const qint64 ms = clock.elapsed();
        bool alive = false;  // the window still answers its message loop
        QTimer::singleShot(0, w.form.get(), [&] { alive = true; });
        WaitFor([&] { return alive; }, 2000);

        const QMap<QString, QByteArray> after = FileBytesBelow(root.path());
        const QStringList said = w.dialogs.texts();
        const std::pair<const char *, bool> checks[] = {  // the row's own first: it may wait for the panes
            {"row", !row.more || row.more(c)},
            {"bounded", alive && c.modals == 0 && ms < (row.act == Feed ? 6000 : 5000)},
            {"files kept", std::all_of(before.keyValueBegin(), before.keyValueEnd(), [&](auto f) { return after.value(f.first) == f.second; })},
            {"nothing outside", std::all_of(after.keyBegin(), after.keyEnd(), [&](const QString &f) { return before.contains(f) || f.startsWith(u8s("a/b/game/")); })},
            // A download's first message whole; elsewhere its start.
            {"message", !row.said || (*row.said ? !said.isEmpty() && (is({Download, DotaDownload, Play}) ? said.first() == u8s(row.said) : said.first().startsWith(u8s(row.said)))
                                                : said.isEmpty())},
            {"no false success", (row.said && u8s(row.said) == u8s("下载完毕！")) || (!said.contains(u8s("下载完毕！")) && w.launcher.started.isEmpty())},
            {"web links only", std::all_of(w.opener.opened.begin(), w.opener.opened.end(), IsWebAddress)},
            {"no partial file", FilesBelow(game).filter(FileTransfer::kPartSuffix).isEmpty()},
            {"whole files only", std::all_of(after.keyValueBegin(), after.keyValueEnd(), [&](auto f) { return before.contains(f.first) || std::count(whole, whole + 2, f.second); })}};
        QStringList broken;
        for (const auto &[name, ok] : checks)
            if (!ok)
                broken << QLatin1String(name);
        const QString count = is({Listing, DotaListing}) ? u8s("%1 rows ").arg(w->ListView1->topLevelItemCount()) : QString(), all = QString::number(std::size(checks));
        table << u8s("%1 | %2 | %3%4 (%5 ms) | %6/%7%8").arg(row.name.leftJustified(34), u8s(kActNames[int(row.act)]), count, said.join(u8s(" / ")).left(28), QString::number(ms),
                                                           QString::number(std::size(checks) - broken.size()), all, broken.isEmpty() ? QString() : u8s(" FAILED: ") + broken.join(u','));
        EXPECT_TRUE(broken.isEmpty()) << qPrintable(row.name) << ": " << qPrintable(broken.join(u',')) << " said " << qPrintable(said.join(u'|'));
        QFile::setPermissions(game + u8s("/replay"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    std::printf("\ncase | action | outcome | checks passed\n%s\n%d of %d cases failed\n", qPrintable(table.join(u'\n')),
                int(table.filter(u8s(" FAILED: ")).size()), int(rows.size()));
}
