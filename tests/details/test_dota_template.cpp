// The DotA detail pane in the real window on the demo site: the fields, the map
// index fetch, and the template's script read back from the rendered page.
#include "support/testwindow.h"

#include "app/webpane.h"
#include "demo/demofiles.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QVariant>
#include <QWebEnginePage>
#include <gtest/gtest.h>

namespace {
QString u8s(const char *utf8) { return QString::fromUtf8(utf8); }

QString li(const QString &t) { return u8s("<li>") + t + u8s("</li>"); }

// One player element: the nine fixed children, then the records.
QString player(int gid, const QString &name, int team, const QString &hero, const QString &apm, const QString &zone,
               const QString &score, const QStringList &records)
{
    QString s = QStringLiteral("<ul id='playerdata%1'>").arg(gid) + li(name) + li(QString::number(team)) + li(hero) + li(apm)
        + li(u8s("#ff0303")) + li(u8s("1,2,3,4,5,6,7,8,9,10,11,12,13,14,15")) + li(u8s("近卫")) + li(zone) + li(score);
    for (const QString &r : records)
        s += li(r);
    return s + u8s("</ul>");
}

QStringList repeated(const QString &record, int n)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out.append(record);
    return out;
}

QStringList builds(const QStringList &times)
{
    QStringList out;
    for (int i = 0; i < times.size(); ++i)
        out.append(QStringLiteral("b,H00%1,英雄%1,%2").arg(i + 1).arg(times.at(i)));
    return out;
}

// Four players with a different value in every field; the kill list recounts
// kills and deaths (1 killed 7 three times and 8 once, 7 killed 1, 8 killed 2).
QString richData()
{
    QStringList a = repeated(u8s("s,A010,剑刃风暴"), 30);
    a << u8s("i,I004,速度之靴,05:00,500") << u8s("i,h085,动物信使,01:00,225") << u8s("i,I008,欢欣之刃,12:00,1000")
      << u8s("d,2,I008,欢欣之刃") << builds({u8s("00:20"), u8s("00:50"), u8s("01:20"), u8s("01:50"), u8s("02:20")});
    QStringList c = repeated(u8s("s,A030,月光"), 6);
    c << builds({u8s("00:10"), u8s("00:40"), u8s("01:10"), u8s("01:40"), u8s("02:10"), u8s("02:40")});
    return u8s("<span id=\"labPlayerdata\"><div id='chatdata'>"
               "<ul name='kill:7:1:100'><li>x</li></ul><ul name='kill:7:1:200'></ul><ul name='kill:7:1:300'></ul>"
               "<ul name='kill:8:1:400'></ul><ul name='kill:1:7:500'></ul><ul name='kill:2:8:600'></ul><ul><li>no name</li></ul></div>")
        + player(1, u8s("Alpha"), 1, u8s("H001,剑圣,疾风"), u8s("210,150,90"), u8s("top"), u8s("101,11,7,3,4"), a)
        + player(2, u8s("Bravo"), 1, u8s("H002,圣骑士,圣光"), u8s("140,100,60"), u8s("other"), u8s("55,6,1,2"),
                 repeated(u8s("s,A020,洗礼"), 3))
        + player(7, u8s("Charlie"), 2, u8s("H003,月之骑士,月光"), u8s("170,120,70"), u8s("middle"), u8s("77,9,2,5,1"), c)
        + player(8, u8s("Delta"), 2, u8s("H004,恶魔猎手,法力"), u8s("110,80,50"), u8s("bottom"), u8s("33,2,0,0"),
                 repeated(u8s("s,A040,闪烁"), 2))
        + u8s("<script type='text/javascript'>var ReplayID = 77; var WinTeam = 2; var CommendNo = 9;</script>");
}

QString detailPage(const QString &mapName, const QString &playerData)
{
    const QString map = mapName.isEmpty() ? QString()
                                          : u8s("<span id=\"labMapname\"><a href='/Maps/Download/") + mapName + u8s(".w3x'>m</a></span>");
    return map
        + u8s("<span id=\"labTime\">38:12</span><span id=\"labUserno\">4</span><span id=\"labVer\">1.24</span>"
              "<span id=\"labContent\" class=\"replaycon\"><p>&lt;精彩&gt; <b>对决</b></p></span>"
              "<a href='/Download.aspx?ReplayID=5000&file=/dota/replay/x.w3g' class='imgbtn'>Download</a>")
        + playerData + u8s("<ul id='itemdescription'><li>I004 快</li></ul>");
}

class DotaPane : public ::testing::Test {
protected:
    TestWindow w;
    QStringList errors;

    void SetUp() override
    {
        w->Timer4->stop();
        w->Timer2->stop();
        w->WebBrowser2->SetAlertDialogs(false);
        QObject::connect(w->WebBrowser2, &WebPane::ConsoleMessage, w.form.get(),
                         [this](int level, const QString &message, int line, const QString &) {
                             if (level == QWebEnginePage::ErrorMessageLevel)
                                 errors.append(QStringLiteral("%1: %2").arg(line).arg(message));
                         });
    }
    void TearDown() override { EXPECT_TRUE(errors.isEmpty()) << qPrintable(errors.join(u'\n')); }

    QVariant js(const QString &script)
    {
        QVariant result;
        bool done = false;
        w->WebBrowser2->page()->runJavaScript(script, [&](const QVariant &v) {
            result = v;
            done = true;
        });
        WaitFor([&] { return done; }, 10000);
        return result;
    }
    // The template has run once the commendation counter has its title.
    bool started()
    {
        return WaitFor([&] {
            return !w->WebBrowser2->Loading()
                && js(u8s("document.readyState == 'complete' && !!document.getElementById('commendno') && "
                          "document.getElementById('commendno').title != ''")).toBool();
        }, 15000);
    }
    QStringList texts(const QString &selector)
    {
        return js(u8s("Array.from(document.querySelectorAll(\"%1\")).map(function(e){return e.textContent;})").arg(selector))
            .toStringList();
    }
    void show(const QString &page)
    {
        w->dotanew_Click();
        w->ShowDotaReplayDetail(page);
        ASSERT_TRUE(started());
    }
};
} // namespace

TEST_F(DotaPane, SummaryBlocksScoresAndBars)
{
    show(detailPage(u8s("DotA Allstars v6.64"), richData()));
    EXPECT_EQ(w->Text2->text(), u8s("DotA Allstars v6.64"));
    EXPECT_EQ(w->Text3->text(), u8s("38:12"));
    EXPECT_EQ(w->Text4->text(), u8s("4"));
    EXPECT_EQ(w->Text5->text(), u8s("1.24"));
    EXPECT_EQ(w->Text6->toPlainText(), u8s("&lt;精彩&gt; 对决"));  // plain text: entities stay as written
    EXPECT_EQ(w->Text8->text(), w->Roots().dota + u8s("/Download.aspx?ReplayID=5000&file=/dota/replay/x.w3g"));
    EXPECT_EQ(w->Text9->text(), w->Roots().dotaMap + u8s("d4e5f6/DotA%20Allstars%20v6.64.w3x"));
    EXPECT_EQ(w->Text10->text(), u8s("Maps\\Download\\DotA Allstars v6.64.w3x"));
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
    EXPECT_TRUE(js(u8s("document.baseURI")).toString().startsWith(w->Roots().dota + u8s("/")));

    EXPECT_EQ(texts(u8s("#teamblock1 .pname")), QStringList({u8s("Alpha"), u8s("Bravo")}));
    EXPECT_EQ(texts(u8s("#teamblock2 .pname")), QStringList({u8s("Charlie"), u8s("Delta")}));
    EXPECT_EQ(texts(u8s("#teamblock1 .phero")), QStringList({u8s("(剑圣 - Level:25)"), u8s("(圣骑士 - Level:3)")}));
    EXPECT_EQ(texts(u8s("#teamblock1 .papm")).value(0), u8s("Min:90 | Ave:150 | Max:210"));
    EXPECT_EQ(texts(u8s(".pzone")), QStringList({u8s("上路"), u8s("游/野"), u8s("中路"), u8s("下路")}));
    EXPECT_EQ(texts(u8s(".plhdn")), QStringList({u8s("正:101 反:11"), u8s("正:55 反:6"), u8s("正:77 反:9"), u8s("正:33 反:2")}));
    EXPECT_EQ(texts(u8s(".pkda")), QStringList({u8s("杀:4 死:1 助:4"), u8s("杀:0 死:1"), u8s("杀:1 死:3 助:1"), u8s("杀:1 死:1")}));
    EXPECT_EQ(js(u8s("document.querySelectorAll('#playerlist1 img').length")).toInt(), 2);

    // Bars: both sides' sums, divided by two players; the money bar is left out
    // because the Scourge bought nothing.
    EXPECT_EQ(texts(u8s("#teambars td")),
              QStringList({u8s("正补:156 [78]"), u8s("正补:110 [55]"), u8s("反补:17 [8.5]"), u8s("反补:11 [5.5]"),
                           u8s("杀死:4 [2]"), u8s("杀死:2 [1]"), u8s("死亡:2 [1]"), u8s("死亡:4 [2]"),
                           u8s("助攻:4 [2]"), u8s("助攻:1 [0.5]"), u8s("英雄等级:28 [14]"), u8s("英雄等级:8 [4]"),
                           u8s("操作数:250 [125]"), u8s("操作数:200 [100]")}));
    EXPECT_EQ(js(u8s("Array.from(document.querySelectorAll('#teambars td')).map(function(e){return e.style.width;})")).toStringList(),
              QStringList({u8s("349px"), u8s("240px"), u8s("361px"), u8s("228px"), u8s("397px"), u8s("192px"),
                           u8s("198px"), u8s("391px"), u8s("476px"), u8s("113px"), u8s("463px"), u8s("126px"),
                           u8s("331px"), u8s("258px")}));

    EXPECT_EQ(texts(u8s("#enditem .endhero")), QStringList({u8s("(最后装备) 剑圣")}));
    EXPECT_EQ(js(u8s("document.getElementById('commendno').title")).toString(), u8s("已经有9位玩家评定该录像很强大."));
    EXPECT_EQ(js(u8s("convertdata('|cffff0000Red|r|nX<b>')")).toString(),
              u8s("<span style=\"color:#ff0000\">Red</span><br />X&lt;b&gt;"));

    QStringList alerts;
    QObject::connect(w->WebBrowser2, &WebPane::AlertShown, w.form.get(), [&](const QString &t) { alerts.append(t); });
    js(u8s("document.getElementById('showwinner').click()"));
    WaitFor([&] { return !alerts.isEmpty(); });
    EXPECT_EQ(alerts, QStringList({u8s("Winner is :\n\n\t天灾军团\t")}));

    // VOD tab: short data says there is none; long data embeds the video and credits its provider.
    js(u8s("clickreplaymenu(document.getElementById('menu_vodbody'), 'vodbody', 'short')"));
    EXPECT_EQ(texts(u8s("#vodbody")).value(0), u8s("本录像暂无VOD"));
    js(u8s("clickreplaymenu(document.getElementById('menu_vodbody'), 'vodbody', '/vod/1.swf|DemoTV|/vod/')"));
    EXPECT_EQ(texts(u8s("#vodbody .vodcredit")).value(0), u8s("以上视频由DemoTV提供"));
    EXPECT_EQ(js(u8s("document.querySelector('#vodbody embed').getAttribute('width')")).toString(), u8s("610"));

    // The pane keeps its document: no navigation, no windows.
    js(u8s("window.open('/x'); location.href = '/DotaList.aspx';"));
    WaitFor([] { return false; }, 500);
    EXPECT_TRUE(js(u8s("!!document.getElementById('teambars')")).toBool());
}

TEST_F(DotaPane, HeroPanelAndBanPick)
{
    show(detailPage(u8s("DotA Allstars v6.66"), richData()));
    const QString alpha = u8s("document.querySelector(\"#playerlist1 img[name='playerdata1']\").click()");
    const QString bravo = u8s("document.querySelector(\"#playerlist1 img[name='playerdata2']\").click()");
    js(alpha);
    EXPECT_EQ(texts(u8s("#playerbody1 .heropanel .actionlist li")),
              QStringList({u8s("Action"), u8s("基本命令:3"), u8s("选择单位:5"), u8s("选择编队:9"), u8s("攻击指令:14"),
                           u8s("右键点击:2"), u8s("装备值:1725")}));
    EXPECT_EQ(js(u8s("Array.from(document.querySelectorAll('#playerbody1 .heropanel .itemstrip img')).map(function(e){return e.getAttribute('name');})"))
                  .toStringList(),
              QStringList({u8s("I004"), u8s("I008")}));
    EXPECT_EQ(js(u8s("document.querySelectorAll('#playerbody1 .heropanel .skillstrip img').length")).toInt(), 30);
    EXPECT_EQ(js(u8s("document.getElementById('teamblock1').style.display")).toString(), u8s("none"));
    WaitFor([] { return false; }, 800);  // the pictures arrive
    SaveScreenshot(w.form.get(), QStringLiteral("dota-detail.png"));

    // One panel per team: Bravo's replaces Alpha's, a second click closes it.
    js(bravo);
    EXPECT_EQ(js(u8s("Array.from(document.querySelectorAll('#playerbody1 .heropanel')).map(function(e){return e.getAttribute('name') + ':' + e.style.display;})"))
                  .toStringList(),
              QStringList({u8s("playerdata1:none"), u8s("playerdata2:block")}));
    js(bravo);
    EXPECT_EQ(js(u8s("document.getElementById('teamblock1').style.display")).toString(), u8s("block"));
    EXPECT_EQ(js(u8s("document.querySelectorAll('#playerbody1 .heropanel[style*=\"block\"]').length")).toInt(), 0);

    // Ban / Pick: the Scourge's first entry is earlier (00:10), so its odd entries
    // and the Sentinel's even ones stand 20 pixels in.
    js(u8s("document.getElementById('menu_banpick').click()"));
    EXPECT_EQ(js(u8s("document.getElementById('banpick').style.display")).toString(), u8s("block"));
    EXPECT_EQ(js(u8s("document.getElementById('gameinfo').style.display")).toString(), u8s("none"));
    EXPECT_EQ(texts(u8s("#banpick .bptitle")), QStringList({u8s("近卫 BAN/PICK :"), u8s("天灾 BAN/PICK :")}));
    const QString side = u8s("Array.from(document.querySelectorAll('#banpick .bpside')[%1].querySelectorAll('.bpentry'))"
                             ".map(function(e){return e.querySelector('.bplabel').textContent + '|' + e.style.marginLeft;})");
    const QString ban = u8s("(BAN)禁止选择|"), pick = u8s("(PICK)选择英雄|");
    EXPECT_EQ(js(side.arg(0)).toStringList(), QStringList({ban + u8s("20px"), ban, ban + u8s("20px"), ban, pick + u8s("20px")}));
    EXPECT_EQ(js(side.arg(1)).toStringList(), QStringList({ban, ban + u8s("20px"), ban, ban + u8s("20px"), pick, pick + u8s("20px")}));
    WaitFor([] { return false; }, 800);
    SaveScreenshot(w.form.get(), QStringLiteral("dota-banpick.png"));
}

TEST_F(DotaPane, BareDataAndMissingMaps)
{
    const QString pageTemplate = Form1::BoxText(w->Dota_css);
    EXPECT_EQ(pageTemplate.count(u8s("{{0}}")), 1);
    EXPECT_TRUE(pageTemplate.contains(u8s("{{0}}</span>")));
    // No player data: the template runs on nothing; no end items, no assists, no Ban / Pick.
    show(detailPage(u8s("DotA Allstars v6.48b"), QString()));
    EXPECT_EQ(js(u8s("document.getElementById('labPlayerdata').innerHTML")).toString(), QString());
    EXPECT_FALSE(js(u8s("!!document.getElementById('menu_enditem') || !!document.getElementById('menu_banpick')")).toBool());
    EXPECT_EQ(js(u8s("document.querySelectorAll('#teambars td').length")).toInt(), 0);
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_EQ(w.dialogs.messages.at(0).text, u8s("检获不到该地图：DotA Allstars v6.48b"));
    EXPECT_EQ(w.dialogs.messages.at(0).title, QString());
    EXPECT_EQ(w->Text9->text(), QString());
    EXPECT_EQ(w->Text10->text(), u8s("Maps\\Download\\DotA Allstars v6.48b.w3x"));

    // No map marker: not found, and nothing for the download to act on.
    show(detailPage(QString(), QString()));
    ASSERT_EQ(w.dialogs.messages.size(), 2);
    EXPECT_EQ(w.dialogs.messages.at(1).text, u8s("检获不到该地图："));
    EXPECT_EQ(w->Text9->text(), QString());
    EXPECT_EQ(w->Text10->text(), QString());

    // No page at all (a failed fetch): empty fields, a blank pane, no message.
    w->ShowDotaReplayDetail(QString());
    EXPECT_EQ(w.dialogs.messages.size(), 2);
    for (QLineEdit *box : {w->Text2, w->Text3, w->Text5, w->Text8, w->Text9, w->Text10})
        EXPECT_EQ(box->text(), QString());
    EXPECT_TRUE(WaitFor([&] { return !w->WebBrowser2->Loading() && js(u8s("document.body ? document.body.innerHTML : ''")).toString().isEmpty(); }));
}

TEST_F(DotaPane, LargeDocumentKeepsItsBaseAddress)
{
    // More than the engine takes in one piece (2 MB).
    QString filler = u8s("<div id='filler' style='display:none'>");
    while (filler.size() < 2600 * 1000)
        filler += u8s("padding of a very long replay data block 0123456789. ");
    filler += u8s("</div><span id='tail'>end</span>");
    QString data = richData();
    data.insert(data.indexOf(u8s("<script")), filler);
    show(detailPage(u8s("DotA Allstars v6.64"), data));
    EXPECT_GT(w->WebBrowser2->WrittenText().toUtf8().size(), 2 * 1024 * 1024);
    EXPECT_EQ(texts(u8s("#tail")), QStringList({u8s("end")}));
    EXPECT_EQ(texts(u8s("#teamblock2 .pname")), QStringList({u8s("Charlie"), u8s("Delta")}));
    EXPECT_TRUE(js(u8s("document.baseURI")).toString().startsWith(w->Roots().dota + u8s("/")));
    EXPECT_TRUE(js(u8s("typeof checkdotaitem == 'function' && Uimage == '/images/hero/'")).toBool());
}

TEST_F(DotaPane, DemoRowsFetchTheIndexOnceAndRetryAFailedOne)
{
    const QString site = QStringLiteral("dota");
    auto indexFetches = [&] {
        int n = 0;
        for (const DemoRequest &r : w.server().requests(site))
            n += r.path() == "/download/" ? 1 : 0;
        return n;
    };
    w->dotanew_Click();
    ASSERT_GE(w->ListView1->topLevelItemCount(), 3);
    auto click = [&](int row) {
        w->ListView1->setCurrentItem(w->ListView1->topLevelItem(row - 1));
        w->ListView1_ItemClick();
    };
    DemoResponse failed;
    failed.status = 500;
    failed.body = "busy";
    w.server().failOnce(site, "/download/", failed);
    click(1);
    EXPECT_EQ(indexFetches(), 1);
    EXPECT_FALSE(w.pages->exists(QStringLiteral("FDx.Dat")));
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_EQ(w.dialogs.messages.at(0).text, u8s("检获不到该地图：DotA Allstars v6.59d"));

    click(2);  // fetched again, found, kept
    EXPECT_EQ(indexFetches(), 2);
    EXPECT_TRUE(w.pages->exists(QStringLiteral("FDx.Dat")));
    EXPECT_EQ(w.dialogs.messages.size(), 1);
    const DemoDotaReplay &second = DemoData::instance().dota.at(1);
    EXPECT_EQ(w->Text9->text(), w->Roots().dotaMap + u8s("d4e5f6/") + QString(second.map).replace(u8s(" "), u8s("%20")) + u8s(".w3x"));
    ASSERT_TRUE(started());
    js(u8s("document.querySelector('#playerlist2 img').click()"));

    click(3);  // read from the file
    EXPECT_EQ(indexFetches(), 2);
    EXPECT_EQ(w.dialogs.messages.size(), 1);
    ASSERT_TRUE(started());
    js(u8s("document.querySelector('#playerlist1 img').click()"));
    WaitFor([] { return false; }, 1500);

    QStringList paths;
    for (const DemoRequest &r : w.server().requests(site))
        paths.append(QString::fromLatin1(r.path()));
    for (const char *p : {"/style/master.css", "/style/replay.css", "/js/main.js", "/script/config.js", "/script/ReplayObject.js",
                          "/script/DotaItem.js", "/main/minimaps/DotA%20Allstars%20v6.66.jpg"})
        EXPECT_TRUE(paths.contains(QString::fromLatin1(p))) << p;
    for (const char *prefix : {"/images/hero/", "/images/skill/", "/images/item/"})
        EXPECT_TRUE(std::any_of(paths.begin(), paths.end(), [&](const QString &p) { return p.startsWith(QString::fromLatin1(prefix)); }))
            << prefix;
    EXPECT_FALSE(paths.contains(u8s("/favicon.ico")));
}
