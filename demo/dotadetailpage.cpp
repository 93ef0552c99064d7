// The demo DotA site's replay detail pages with their player data, its map
// download index and the files the DotA pane loads from the site: style sheets,
// scripts, hero / skill / item pictures and the minimap.
#include "demo/demosite.h"

#include "demo/demofiles.h"
#include "demo/demopages.h"
#include "web/codepage.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

using namespace demopage;

namespace {

struct Hero {
    const char *id;
    const char *name;
    const char *skills[4];
};

const Hero kHeroes[] = {
    {"H001", "剑圣", {"剑刃风暴", "治疗守卫", "剑舞", "无敌斩"}},
    {"H002", "圣骑士", {"洗礼", "驱逐", "退化光环", "守护天使"}},
    {"H003", "月之骑士", {"月光", "月刃", "月之祝福", "月蚀"}},
    {"H004", "恶魔猎手", {"法力损毁", "闪烁", "法术护盾", "法力虚空"}},
    {"H005", "山丘之王", {"风暴之锤", "重击", "战吼", "天神下凡"}},
    {"H006", "火焰领主", {"火焰之魂", "燃烧之拳", "烈焰风暴", "熔岩"}},
    {"H007", "死亡骑士", {"死亡缠绕", "邪恶光环", "无光之盾", "死亡契约"}},
    {"H008", "巫妖", {"霜冻新星", "冰甲", "牺牲", "连环霜冻"}},
    {"H009", "影魔", {"毁灭阴影", "支配死灵", "魔王降临", "魂之挽歌"}},
    {"H010", "屠夫", {"肉钩", "腐烂", "腐肉堆积", "肢解"}},
    {"H011", "沉默术士", {"诅咒", "智慧之刃", "最后遗言", "全领域沉默"}},
    {"H012", "幻影刺客", {"窒碍短匕", "幻影突袭", "魅影无形", "恩赐解脱"}},
    {"H013", "风行者", {"束缚击", "强力击", "风步", "集中火力"}},
    {"H014", "敌法师", {"法力损毁", "闪烁", "法术护盾", "法力虚空"}},
};
constexpr int kHeroCount = int(sizeof kHeroes / sizeof kHeroes[0]);

struct Item {
    const char *id;
    const char *name;
    int cost;
};

const Item kItems[] = {
    {"I001", "力量手套", 150}, {"I002", "敏捷便鞋", 150}, {"I003", "智力斗篷", 150}, {"I004", "速度之靴", 500},
    {"I005", "治疗药膏", 100}, {"I006", "大剑", 1200},     {"I007", "枯萎之石", 900}, {"I008", "欢欣之刃", 1000},
    {"I009", "净化药水", 50},  {"h085", "动物信使", 225},
};

const char *const kColours[] = {"#0042ff", "#1ce6b9", "#540081", "#fffc01", "#fe8a0e",
                                "#e55bb0", "#959697", "#7ebff1", "#106246", "#4e2a04"};
const char *const kZones[] = {"top", "middle", "bottom", "other", "top"};

quint32 seedOf(const QString &s)
{
    quint32 h = 2166136261u;  // FNV-1a: the same picture on every run
    for (QChar c : s)
        h = (h ^ c.unicode()) * 16777619u;
    return h;
}

// A small deterministic stream of numbers per replay.
class Dice {
public:
    explicit Dice(quint32 seed) : m_seed(seed) {}
    int operator()(int bound)
    {
        m_seed = m_seed * 1103515245u + 12345u;
        return int((m_seed >> 16) % quint32(bound));
    }

private:
    quint32 m_seed;
};

QString escapedFileName(const QString &name)
{
    const QByteArray narrow = codepage::toNarrow(name).value_or(name.toUtf8());
    return QString::fromLatin1(codepage::percentEncodeAll(narrow));
}

QString li(const QString &text) { return QStringLiteral("<li>") + esc(text) + QStringLiteral("</li>"); }

QString clock(int seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60, 2, 10, QChar(u'0')).arg(seconds % 60, 2, 10, QChar(u'0'));
}

// Game ids: 1 to 5 for the Sentinel, 7 to 11 for the Scourge.
int gameId(int slot) { return slot < 5 ? slot + 1 : slot + 2; }

struct Player {
    int gid = 0;
    int team = 1;
    const Hero *hero = nullptr;
    int kills = 0, deaths = 0;
};

QString playerElement(const DemoDotaReplay &r, int slot, const Player &p, bool withAssists, bool banPick, Dice &dice)
{
    const Hero &h = *p.hero;
    const int apmAvg = 90 + dice(120);
    QStringList actions;
    for (int k = 0; k < 16; ++k)
        actions.append(QString::number(50 + dice(3000)));
    QString out = QStringLiteral("<ul id='playerdata%1' class='playerdata'>").arg(p.gid);
    out += li(r.players.value(slot)) + li(QString::number(p.team));
    out += li(QStringLiteral("%1,%2,%2是一位强大的英雄。").arg(QString::fromLatin1(h.id), QString::fromUtf8(h.name)));
    out += li(QStringLiteral("%1,%2,%3").arg(apmAvg + 40 + dice(60)).arg(apmAvg).arg(apmAvg - 30 - dice(40)));
    out += li(QString::fromLatin1(kColours[slot]));
    out += li(actions.join(u','));
    out += li(p.team == 1 ? QStringLiteral("近卫") : QStringLiteral("天灾"));
    out += li(QString::fromLatin1(kZones[slot % 5]));
    QString score = QStringLiteral("%1,%2,%3,%4").arg(40 + dice(260)).arg(dice(40)).arg(p.kills).arg(p.deaths);
    if (withAssists)
        score += QStringLiteral(",%1").arg(dice(20));
    out += li(score);
    out += li(QStringLiteral("h,%1,%2").arg(QString::fromLatin1(h.id), QString::fromUtf8(h.name)));
    // Skills: level 30 records on the first player of every fourth replay (the level stops at 25).
    const int skills = (slot == 0 && r.id % 4 == 0) ? 30 : 6 + dice(19);
    for (int k = 0; k < skills; ++k) {
        const int which = (k + 1) % 6 == 0 ? 3 : k % 3;
        out += li(QStringLiteral("s,A%1%2,%3").arg(QString::fromLatin1(h.id).mid(2)).arg(which).arg(QString::fromUtf8(h.skills[which])));
    }
    // Items in the order bought; some build a finished item.
    int t = 30 + dice(60);
    const int items = 4 + dice(6);
    for (int k = 0; k < items; ++k) {
        const Item &it = kItems[(slot + k * 3 + dice(4)) % 10];
        t += 60 + dice(300);
        out += li(QStringLiteral("i,%1,%2,%3,%4").arg(QString::fromLatin1(it.id), QString::fromUtf8(it.name), clock(t)).arg(it.cost));
    }
    if (slot % 3 == 0) {
        out += li(QStringLiteral("i,I004,速度之靴,%1,500").arg(clock(t + 40)));
        out += li(QStringLiteral("i,I001,力量手套,%1,150").arg(clock(t + 90)));
    }
    out += li(QStringLiteral("u,u001,小鸡信使"));
    if (slot % 4 != 3) {
        const Item &end = kItems[(slot * 7 + r.id) % 9];
        out += li(QStringLiteral("d,2,%1,%2").arg(QString::fromLatin1(end.id), QString::fromUtf8(end.name)));
    }
    // Captains' mode: the first player of each side holds that side's bans and picks.
    if (banPick && (slot == 0 || slot == 5)) {
        const int start = slot == 0 ? 10 : 5;  // the Scourge opens on some replays
        for (int k = 0; k < 9; ++k) {
            const Hero &b = kHeroes[(r.id + slot * 2 + k * 3) % kHeroCount];
            out += li(QStringLiteral("b,%1,%2,%3").arg(QString::fromLatin1(b.id), QString::fromUtf8(b.name), clock(start + k * 30 + (r.id % 2) * slot)));
        }
    }
    return out + QStringLiteral("</ul>\r\n");
}

QString playerData(const DemoDotaReplay &r)
{
    Dice dice(seedOf(QString::number(r.id)));
    QList<Player> players;
    QList<int> used;
    for (int slot = 0; slot < 10; ++slot) {
        Player p;
        p.gid = gameId(slot);
        p.team = slot < 5 ? 1 : 2;
        int h = (r.id + slot * 5) % kHeroCount;
        while (used.contains(h))
            h = (h + 1) % kHeroCount;
        used.append(h);
        p.hero = &kHeroes[h];
        players.append(p);
    }
    // The kill list: "kill:<died>:<killer>:<time>".
    QString chat = QStringLiteral("<div id='chatdata'>");
    const int kills = 20 + dice(40);
    for (int k = 0; k < kills; ++k) {
        const int killer = dice(10);
        int died = (killer < 5 ? 5 : 0) + dice(5);
        players[killer].kills++;
        players[died].deaths++;
        chat += QStringLiteral("<ul name='kill:%1:%2:%3'><li>%4 杀死了 %5</li></ul>")
                    .arg(players[died].gid).arg(players[killer].gid).arg((k + 1) * 71)
                    .arg(esc(r.players.value(killer)), esc(r.players.value(died)));
    }
    chat += QStringLiteral("</div>\r\n");

    const bool withAssists = r.id % 3 != 1;
    const bool banPick = r.id % 3 != 2;
    QString out = chat;
    for (int slot = 0; slot < 10; ++slot)
        out += playerElement(r, slot, players.at(slot), withAssists, banPick, dice);
    const QString vod = r.id % 5 == 0
        ? QStringLiteral("/vod/%1.swf|DemoTV|/vod/").arg(r.id)
        : QString();
    out += QStringLiteral("<span id='replayvod' style='display:none'>%1</span>\r\n").arg(esc(vod));
    out += QStringLiteral("<script type='text/javascript'>var ReplayID = %1; var WinTeam = %2; var CommendNo = %3;\r\n"
                          "function nicegame(id) { CommendNo = CommendNo + 1; return CommendNo; }</script>\r\n")
               .arg(r.id).arg(r.id % 2 == 0 ? 1 : 2).arg(r.id % 37);
    return out;
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return out;
}

// A square picture drawn from the id: shapes only (the demo site has no fonts).
QByteArray iconPicture(const QString &id, int size)
{
    Dice dice(seedOf(id));
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(dice(360), 120 + dice(100), 120 + dice(100)));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.setBrush(QColor::fromHsv(dice(360), 200, 230));
    const int m = size / 5;
    if (dice(2))
        p.drawEllipse(m, m, size - 2 * m, size - 2 * m);
    else
        p.drawRect(m, m, size - 2 * m, size - 2 * m);
    p.setBrush(QColor(255, 255, 255, 160));
    p.drawEllipse(QPoint(size / 2, size / 2), size / 8 + 1, size / 8 + 1);
    p.end();
    return encoded(image, "png");
}

QByteArray dotaMinimap()
{
    QImage image(168, 168, QImage::Format_RGB32);
    image.fill(QColor(38, 82, 38));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(150, 120, 70), 6));
    p.drawLine(14, 154, 14, 14);
    p.drawLine(14, 14, 154, 14);
    p.drawLine(14, 154, 154, 14);
    p.drawLine(14, 154, 154, 154);
    p.drawLine(154, 154, 154, 14);
    p.setPen(QPen(QColor(40, 70, 140), 8));
    p.drawLine(30, 40, 130, 140);  // the river
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 200, 60));
    p.drawEllipse(QPoint(16, 152), 10, 10);
    p.setBrush(QColor(200, 50, 50));
    p.drawEllipse(QPoint(152, 16), 10, 10);
    p.end();
    QByteArray jpeg = encoded(image, "jpg");
    return jpeg.isEmpty() ? encoded(image, "png") : jpeg;
}

} // namespace

QString DemoDotaDetailMap(const DemoDotaReplay &r)
{
    return r.id % 50 == 7 ? QStringLiteral("DotA Allstars v6.48b") : r.map;
}

QString DemoSite::dotaDetailPage(const DemoDotaReplay &r)
{
    const QString map = DemoDotaDetailMap(r);
    const QString link = QStringLiteral("/Download.aspx?ReplayID=%1&file=/dota/replay/%2")
                             .arg(QString::number(r.id), escapedFileName(r.replayFileName()));
    QString body;
    body += QStringLiteral("<div id=\"replayinfo\"><h2>%1</h2>\r\n<ul class=\"info\">").arg(esc(r.title));
    body += QStringLiteral("<li>使用地图：<span id=\"labMapname\"><a href='/Maps/Download/%1.w3x'>%1</a></span></li>\r\n").arg(esc(map));
    body += QStringLiteral("<li>游戏时间：<span id=\"labTime\">%1:%2</span></li><li>游戏人数：<span id=\"labUserno\">10</span></li>"
                           "<li>游戏版本：<span id=\"labVer\">%3</span></li><li>上传日期：<span id=\"labDate\">%4</span></li></ul>\r\n")
                .arg(30 + r.id % 30).arg(r.id % 60, 2, 10, QChar(u'0')).arg(esc(r.version), r.time);
    body += QStringLiteral("<p><a href='%1' class='imgbtn'>Download</a></p>\r\n").arg(link);
    body += QStringLiteral("<span id=\"labContent\" class=\"replaycon\"><p><b>%1</b> 对阵 <b>%2</b>（%3）。</p>"
                           "<script type=\"text/javascript\">document.title = 'x';</script>"
                           "<p>双方在中路展开激烈争夺，&nbsp;最终%4取得了胜利。</p></span>\r\n</div>\r\n")
                .arg(esc(r.team1), esc(r.team2), esc(r.event), r.id % 2 == 0 ? esc(r.team1) : esc(r.team2));
    body += QStringLiteral("<div id=\"replaydata\"><span id=\"labPlayerdata\">") + playerData(r) + QStringLiteral("</span>\r\n");
    body += QStringLiteral("<ul id='itemdescription'>");
    for (const Item &it : kItems)
        body += li(QStringLiteral("%1:|cffffcc00%2|r|n价格 %3").arg(QString::fromLatin1(it.id), QString::fromUtf8(it.name)).arg(it.cost));
    body += QStringLiteral("</ul></div>\r\n<div id=\"comments\"><p>评论 (0)</p></div>\r\n");
    return pageShell(r.title + QStringLiteral(" - DotA 录像"), body);
}

QString DemoSite::dotaMapIndexPage()
{
    // Each entry: the map's name, then the link to its page named after its folder.
    // "v6.6" stands behind "v6.66" and "v6.64", whose names start with it.
    QList<DemoDotaMap> maps;
    for (const DemoDotaMap &m : DemoDotaMaps())
        maps.append(m);
    maps.append({QStringLiteral("DotA Allstars v6.6"), QStringLiteral("k0l1m2")});
    maps.append({QStringLiteral("DotA Allstars v6.67 测试版"), QStringLiteral("n3o4p5")});
    QString items;
    for (const DemoDotaMap &m : maps)
        items += QStringLiteral("<li><span class='mapname'>%1</span> <a href='/download/page/%2.html'>下载</a></li>\r\n")
                     .arg(esc(m.name), m.folder);
    return pageShell(QStringLiteral("DotA 地图下载"), QStringLiteral("<ul class='maplist'>\r\n") + items + QStringLiteral("</ul>"));
}

std::optional<DemoResponse> DemoDotaAssetRoute(const DemoRequest &r)
{
    const QByteArray path = r.path();
    static const struct {
        const char *path;
        const char *file;
        const char *type;
    } files[] = {
        {"/style/master.css", "master.css", "text/css; charset=utf-8"},
        {"/style/replay.css", "replay.css", "text/css; charset=utf-8"},
        {"/js/main.js", "main.js", "application/javascript; charset=utf-8"},
        {"/script/config.js", "config.js", "application/javascript; charset=utf-8"},
        {"/script/ReplayObject.js", "ReplayObject.js", "application/javascript; charset=utf-8"},
        {"/script/DotaItem.js", "DotaItem.js", "application/javascript; charset=utf-8"},
    };
    for (const auto &f : files) {
        if (path == f.path) {
            initResources();
            QFile in(QStringLiteral(":/demo/dota/") + QString::fromLatin1(f.file));
            if (!in.open(QIODevice::ReadOnly))
                return DemoResponse::notFound();
            return DemoResponse::bytes(in.readAll(), f.type);
        }
    }
    if (path == "/main/minimaps/DotA%20Allstars%20v6.66.jpg")
        return DemoResponse::bytes(dotaMinimap(), "image/jpeg");
    // Pictures: "<prefix><id>.gif", served as PNG (the browser goes by the content).
    static const struct {
        const char *prefix;
        int size;
    } pictures[] = {{"/images/hero/", 64}, {"/images/skill/", 32}, {"/images/item/", 32}};
    for (const auto &p : pictures) {
        const QByteArray prefix(p.prefix);
        if (!path.startsWith(prefix) || !path.endsWith(".gif"))
            continue;
        const QByteArray id = path.mid(prefix.size(), path.size() - prefix.size() - 4);
        const bool plain = !id.isEmpty() && id.size() <= 8
            && std::all_of(id.begin(), id.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
        if (!plain)
            return DemoResponse::notFound();
        return DemoResponse::bytes(iconPicture(QString::fromLatin1(id), p.size), "image/png");
    }
    return std::nullopt;
}
