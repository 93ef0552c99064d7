// The DotA detail pane in the real window on the demo site: the fields, the map
// index fetch, and the template's script read back from the rendered page.
#include "support/testwindow.h"

#include <QWebEnginePage>

namespace {
// One player element: name|team|hero|APM, the three fixed children, zone|score, then the records.
QString player(int gid, const char *fields, const QStringList &records)
{
    const QStringList f = u8s(fields).split(u'|'), fixed = {u8s("#ff0303"), u8s("1,2,3,4,5,6,7,8,9,10,11,12,13,14,15"), u8s("近卫")};
    return QStringLiteral("<ul id='playerdata%1'><li>").arg(gid) + (f.mid(0, 4) + fixed + f.mid(4) + records).join(u8s("</li><li>")) + u8s("</li></ul>");
}

// `n` skill records, then `builds` Ban / Pick records 30 s apart from `first` seconds on.
QStringList records(const char *skill, int n, int builds = 0, int first = 0)
{
    QStringList out(n, u8s(skill));
    for (int i = 0, t = first; i < builds; ++i, t += 30)
        out.append(QStringLiteral("b,H00%1,英雄%1,%2:%3").arg(i + 1).arg(t / 60, 2, 10, QChar(u'0')).arg(t % 60, 2, 10, QChar(u'0')));
    return out;
}

// Four players with a different value in every field; the kill list recounts
// kills and deaths (1 killed 7 three times and 8 once, 7 killed 1, 8 killed 2).
QString richData()
{
    const QStringList items = {u8s("i,I004,速度之靴,05:00,500"), u8s("i,h085,动物信使,01:00,225"), u8s("i,I008,欢欣之刃,12:00,1000"), u8s("d,2,I008,欢欣之刃")};
    return u8s("<span id=\"labPlayerdata\"><div id='chatdata'><ul name='kill:7:1:100'><li>x</li></ul><ul name='kill:7:1:200'></ul><ul name='kill:7:1:300'></ul>"
               "<ul name='kill:8:1:400'></ul><ul name='kill:1:7:500'></ul><ul name='kill:2:8:600'></ul><ul><li>no name</li></ul></div>")
        + player(1, "Alpha|1|H001,剑圣,疾风|210,150,90|top|101,11,7,3,4", records("s,A010,剑刃风暴", 30) + items + records("", 0, 5, 20))
        + player(2, "Bravo|1|H002,圣骑士,圣光|140,100,60|other|55,6,1,2", records("s,A020,洗礼", 3))
        + player(7, "Charlie|2|H003,月之骑士,月光|170,120,70|middle|77,9,2,5,1", records("s,A030,月光", 6, 6, 10))
        + player(8, "Delta|2|H004,恶魔猎手,法力|110,80,50|bottom|33,2,0,0", records("s,A040,闪烁", 2))
        + u8s("<script type='text/javascript'>var ReplayID = 77; var WinTeam = 2; var CommendNo = 9;</script>");
}

QString detailPage(const QString &mapName, const QString &playerData)
{
    return (mapName.isEmpty() ? QString() : u8s("<span id=\"labMapname\"><a href='/Maps/Download/") + mapName + u8s(".w3x'>m</a></span>"))
        + u8s("<span id=\"labTime\">38:12</span><span id=\"labUserno\">4</span><span id=\"labVer\">1.24</span><span id=\"labContent\" class=\"replaycon\"><p>&lt;精彩&gt; <b>对决</b></p></span>"
              "<a href='/Download.aspx?ReplayID=5000&file=/dota/replay/x.w3g' class='imgbtn'>Download</a>")
        + playerData + u8s("<ul id='itemdescription'><li>I004 快</li></ul>");
}

// Shorthands of the fact scripts: T texts, A attributes (".x" a style), N counts,
// D an element's display, B the Ban / Pick entries of one side as label@margin.
const char *const kFactHelpers = "var all=function(s){return Array.from(document.querySelectorAll(s));};var T=function(s){return all(s).map(function(e){return e.textContent;});};"
    "var A=function(s,a){return all(s).map(function(e){return a[0]=='.'?e.style[a.slice(1)]:e.getAttribute(a);});};var N=function(s){return all(s).length;};var D=function(id){return document.getElementById(id).style.display;};"
    "var B=function(i){return Array.from(all('#banpick .bpside')[i].querySelectorAll('.bpentry')).map(function(e){return e.querySelector('.bplabel').textContent+'@'+e.style.marginLeft;});};";

class DotaPane : public ::testing::Test {
protected:
    TestWindow w;
    QStringList errors, alerts;

    void SetUp() override
    {
        w->Timer4->stop();
        w->Timer2->stop();
        w->WebBrowser2->SetAlertDialogs(false);
        QObject::connect(w->WebBrowser2, &WebPane::AlertShown, w.form.get(), [this](const QString &t) { alerts.append(t); });
        QObject::connect(w->WebBrowser2, &WebPane::ConsoleMessage, w.form.get(),
                         [this](int level, const QString &text, int line, const QString &) {
                             if (level == QWebEnginePage::ErrorMessageLevel)
                                 errors.append(QStringLiteral("%1: %2").arg(line).arg(text));
                         });
    }
    void TearDown() override { EXPECT_TRUE(errors.isEmpty()) << qPrintable(errors.join(u'\n')); }

    QVariant js(const QString &script) { return RunJs(w->WebBrowser2, script); }
    // Runs `action`, then reads every fact in the same call (lists joined by "|") and compares it with its value.
    void expectFacts(const QString &action, const std::vector<std::pair<std::string, std::string>> &facts)
    {
        QStringList exprs, want;
        for (const auto &[expr, value] : facts)
            exprs << QString::fromStdString(expr), want << QString::fromStdString(value);
        EXPECT_EQ(js(u8s("(function(){") + u8s(kFactHelpers) + action + u8s(";return [") + exprs.join(u',')
                     + u8s("].map(function(v){return Array.isArray(v)?v.join('|'):String(v);});})()")).toStringList(), want) << qPrintable(exprs.join(u'\n'));
    }
    void show(const QString &page)
    {
        w->dotanew_Click();
        w->ShowDotaReplayDetail(page);
        ASSERT_TRUE(DotaTemplateRan(w));
    }
    QStringList fields() { return Texts({w->Text2, w->Text3, w->Text4, w->Text5, w->Text6, w->Text8, w->Text9, w->Text10}); }
};
} // namespace

// The whole function table on a page of four players, written as one document
// of more than the engine takes in one piece (2 MB).
TEST_F(DotaPane, RichPageInALargeDocument)
{
    const QString filler = u8s("<div id='filler' style='display:none'>") + u8s("padding of a very long replay data block 0123456789. ").repeated(50000);
    QString data = richData();
    show(detailPage(u8s("DotA Allstars v6.64"), data.insert(data.indexOf(u8s("<script")), filler + u8s("</div><span id='tail'>end</span>"))));
    EXPECT_GT(w->WebBrowser2->WrittenText().toUtf8().size(), 2 * 1024 * 1024);
    EXPECT_EQ(fields() + w.dialogs.texts(true), QStringList({u8s("DotA Allstars v6.64"), u8s("38:12"), u8s("4"), u8s("1.24"), u8s("&lt;精彩&gt; 对决"),  // plain text: entities stay
                                     w->Roots().dota + u8s("/Download.aspx?ReplayID=5000&file=/dota/replay/x.w3g"),
                                     w->Roots().dotaMap + u8s("d4e5f6/DotA%20Allstars%20v6.64.w3x"), u8s("Maps\\Download\\DotA Allstars v6.64.w3x")}));  // and no message
    // Bars: both sides' sums, divided by two players; the money bar is left out because the Scourge bought nothing.
    expectFacts(QString(), {{"T('#tail')", "end"}, {"document.baseURI.startsWith('" + w->Roots().dota.toStdString() + "/')", "true"}, {"typeof checkdotaitem == 'function' && Uimage == '/images/hero/'", "true"},
        {"T('#teamblock1 .pname')", "Alpha|Bravo"}, {"T('#teamblock2 .pname')", "Charlie|Delta"}, {"T('.pzone')", "上路|游/野|中路|下路"},
        {"T('#teamblock1 .phero')", "(剑圣 - Level:25)|(圣骑士 - Level:3)"}, {"T('#teamblock1 .papm')[0]", "Min:90 | Ave:150 | Max:210"},
        {"T('.plhdn')", "正:101 反:11|正:55 反:6|正:77 反:9|正:33 反:2"}, {"T('.pkda')", "杀:4 死:1 助:4|杀:0 死:1|杀:1 死:3 助:1|杀:1 死:1"},
        {"T('#teambars td')", "正补:156 [78]|正补:110 [55]|反补:17 [8.5]|反补:11 [5.5]|杀死:4 [2]|杀死:2 [1]|死亡:2 [1]|死亡:4 [2]|"
                              "助攻:4 [2]|助攻:1 [0.5]|英雄等级:28 [14]|英雄等级:8 [4]|操作数:250 [125]|操作数:200 [100]"},
        {"A('#teambars td','.width')", "349px|240px|361px|228px|397px|192px|198px|391px|476px|113px|463px|126px|331px|258px"},
        {"T('#enditem .endhero')", "(最后装备) 剑圣"}, {"document.getElementById('commendno').title", "已经有9位玩家评定该录像很强大."},
        {"convertdata('|cffff0000Red|r|nX<b>')", "<span style=\"color:#ff0000\">Red</span><br />X&lt;b&gt;"},
        {"(clickreplaymenu(document.getElementById('menu_vodbody'), 'vodbody', 'short'), T('#vodbody')[0])", "本录像暂无VOD"}});
    js(u8s("document.getElementById('menu_gameinfo').click()"));  // back to the players' tab
    js(u8s("document.getElementById('showwinner').click()"));
    WaitFor([&] { return !alerts.isEmpty(); });
    EXPECT_EQ(alerts, QStringList({u8s("Winner is :\n\n\t天灾军团\t")}));

    const QString click = u8s("document.querySelector(\"#playerlist1 img[name='playerdata%1']\").click()");
    expectFacts(click.arg(1), {{"T('#playerbody1 .heropanel .actionlist li')", "Action|基本命令:3|选择单位:5|选择编队:9|攻击指令:14|右键点击:2|装备值:1725"},
        {"A('#playerbody1 .heropanel .itemstrip img','name')", "I004|I008"},  // no "h085"
        {"N('#playerbody1 .heropanel .skillstrip img')", "30"}, {"D('teamblock1')", "none"}});
    Idle(800);  // the pictures arrive
    SaveScreenshot(w, "dota-detail.png");
    // One panel per team: Bravo's replaces Alpha's, a second click closes it.
    expectFacts(click.arg(2), {{"A('#playerbody1 .heropanel','name')", "playerdata1|playerdata2"}, {"A('#playerbody1 .heropanel','.display')", "none|block"}});
    expectFacts(click.arg(2), {{"D('teamblock1')", "block"}, {"N('#playerbody1 .heropanel[style*=\"block\"]')", "0"}});
    // Ban / Pick: the Scourge's first entry is earlier (00:10), so its odd entries and the Sentinel's even ones stand 20 pixels in.
    expectFacts(u8s("document.getElementById('menu_banpick').click()"), {{"D('banpick') + D('gameinfo')", "blocknone"}, {"T('#banpick .bptitle')", "近卫 BAN/PICK :|天灾 BAN/PICK :"},
        {"B(0)", "(BAN)禁止选择@20px|(BAN)禁止选择@|(BAN)禁止选择@20px|(BAN)禁止选择@|(PICK)选择英雄@20px"},
        {"B(1)", "(BAN)禁止选择@|(BAN)禁止选择@20px|(BAN)禁止选择@|(BAN)禁止选择@20px|(PICK)选择英雄@|(PICK)选择英雄@20px"}});
    Idle(800);
    SaveScreenshot(w, "dota-banpick.png");
    js(u8s("window.open('/x'); location.href = '/DotaList.aspx';"));
    Idle(500);  // the pane keeps its document
    expectFacts(QString(), {{"N('#teambars')", "1"}});
}

TEST_F(DotaPane, BareDataAndMissingMaps)
{
    // An index where another map's name ends in ".W3x", and a name with "#", "?" and "%".
    w.server().setOverride(u8s("dota"), "/download/", DemoResponse::html(u8s(
        "<ul><li><span>DotA v6.65.W3x</span> <a href='/download/page/a1a1a1.html'>下载</a></li>"
        "<li><span>DotA v6.65</span> <a href='/download/page/b2b2b2.html'>下载</a></li>"
        "<li><span>DotA #2? 100%</span> <a href='/download/page/c3c3c3.html'>下载</a></li></ul>")));
    // No player data: the template runs on nothing; no end items, no assists, no Ban / Pick.
    show(detailPage(u8s("DotA Allstars v6.48b"), QString()));
    expectFacts(QString(), {{"document.getElementById('labPlayerdata').innerHTML", ""}, {"N('#menu_enditem, #menu_banpick, #teambars td')", "0"}});
    const QString replayUrl = w->Roots().dota + u8s("/Download.aspx?ReplayID=5000&file=/dota/replay/x.w3g");
    EXPECT_EQ(fields(), QStringList({u8s("DotA Allstars v6.48b"), u8s("38:12"), u8s("4"), u8s("1.24"), u8s("&lt;精彩&gt; 对决"), replayUrl,
                                     QString(), u8s("Maps\\Download\\DotA Allstars v6.48b.w3x")}));
    w->ShowDotaReplayDetail(QString());  // no page at all (a failed fetch): empty fields, a blank pane, and a word why
    EXPECT_EQ(w.dialogs.texts(true), QStringList({u8s("|检获不到该地图：DotA Allstars v6.48b"), u8s("|未能取得该录像的详细信息！")}));
    EXPECT_EQ(fields(), QStringList(8, QString()));
    EXPECT_TRUE(WaitFor([&] { return !w->WebBrowser2->Loading() && js(u8s("document.body ? document.body.innerHTML : ''")).toString().isEmpty(); }));

    // The map's own folder, not the one of "v6.65.W3x"; Text9 shows only the blanks escaped, the fetch escapes the rest.
    show(detailPage(u8s("DotA v6.65"), QString()));
    EXPECT_EQ(w->Text9->text(), w->Roots().dotaMap + u8s("b2b2b2/DotA%20v6.65.w3x"));
    show(detailPage(u8s("DotA #2? 100%"), QString()));
    EXPECT_EQ(w->Text9->text(), w->Roots().dotaMap + u8s("c3c3c3/DotA%20#2?%20100%.w3x"));
    EXPECT_EQ(w->MapFetchUrl(), w->Roots().dotaMap + u8s("c3c3c3/DotA%20%232%3F%20100%25.w3x"));
    EXPECT_EQ(w.dialogs.texts().size(), 2);  // both found
}

TEST_F(DotaPane, DemoRowsFetchTheIndexOnceAndRetryAFailedOne)
{
    auto clickRow = [&](int row, int fetches, bool indexKept, const char *player) {
        ClickRow(w, w->ListView1->topLevelItem(row - 1));
        if (player) {  // a hero panel brings the pictures
            EXPECT_TRUE(DotaTemplateRan(w) && js(u8s("document.querySelector('%1 img').click(); true").arg(u8s(player))).toBool()) << row;
            Idle(1500);
        }
        EXPECT_TRUE(RequestsFor(w, "dota", "/download/") == fetches && w.pages->exists(QStringLiteral("FDx.Dat")) == indexKept) << row;
        EXPECT_EQ(w.dialogs.texts(true), QStringList({u8s("|检获不到该地图：DotA Allstars v6.59d")})) << row;
    };
    w->dotanew_Click();
    w.server().failOnce(QStringLiteral("dota"), "/download/", DemoResponse{.status = 500, .body = "busy"});
    clickRow(1, 1, false, nullptr);
    clickRow(2, 2, true, "#playerlist2");  // fetched again, found (no second message), kept
    clickRow(3, 2, true, "#playerlist1");  // read from the file
    // The site's own resources by their whole path, the pictures by their folder.
    QStringList paths;
    for (const DemoRequest &r : w.server().requests(QStringLiteral("dota")))
        paths.append(QString::fromLatin1(r.path()));
    for (const QString want : {"/style/master.css", "/style/replay.css", "/js/main.js", "/script/config.js", "/script/ReplayObject.js", "/script/DotaItem.js",
                               "/main/minimaps/DotA%20Allstars%20v6.66.jpg", "/images/hero/", "/images/skill/", "/images/item/"})
        EXPECT_TRUE(std::any_of(paths.begin(), paths.end(), [&](const QString &p) { return want.endsWith(u'/') ? p.startsWith(want) : p == want; })) << qPrintable(want);
    EXPECT_FALSE(paths.contains(u8s("/favicon.ico")));
}
