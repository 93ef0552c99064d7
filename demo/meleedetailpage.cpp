// The demo melee site's replay detail pages and their minimap pictures.
#include "demo/demosite.h"

#include "demo/demopages.h"
#include "web/codepage.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

using namespace demopage;

namespace {

QString raceWord(int code)
{
    switch (code) {
    case 1: return QStringLiteral("Human");
    case 2: return QStringLiteral("NightElf");
    case 4: return QStringLiteral("Orc");
    case 8: return QStringLiteral("Undead");
    default: return QStringLiteral("Random");
    }
}

// The replay's file name as the site's download link carries it: code page 936
// bytes, every byte that is not an unreserved character escaped.
QString escapedFileName(const QString &name)
{
    const QByteArray narrow = codepage::toNarrow(name).value_or(name.toUtf8());
    return QString::fromLatin1(codepage::percentEncodeAll(narrow));
}

// One team's list: heading, race, result and APM, then three player items. The
// leader is written "h,name", teammates ".../h,name"; an empty item clears a slot.
QString teamList(int team, const QString &race, bool won, int apm, const QString &leader, const QStringList &mates)
{
    QString items = QStringLiteral("<li>%1</li><li>种族</li><li>%2</li><li>结果</li><li>%3</li><li>APM</li><li>%4</li>")
                        .arg(team == 1 ? QStringLiteral("第一队") : QStringLiteral("第二队"), race,
                             won ? QStringLiteral("胜") : QStringLiteral("负"), QString::number(apm));
    items += QStringLiteral("<li>h,%1</li>").arg(esc(leader));
    for (int k = 0; k < 2; ++k)
        items += k < mates.size() ? QStringLiteral("<li>team/h,%1</li>").arg(esc(mates.at(k))) : QStringLiteral("<li></li>");
    return QStringLiteral("<ul id='playerdata%1' class='dis'>%2</ul>\r\n").arg(QString::number(team), items);
}

quint32 seedOf(const QString &s)
{
    quint32 h = 2166136261u;  // FNV-1a: the same picture on every run
    for (QChar c : s)
        h = (h ^ c.unicode()) * 16777619u;
    return h;
}

} // namespace

QString DemoSite::meleeDetailPage(const DemoMeleeReplay &r)
{
    const int count = 2 + int(r.mates1.size() + r.mates2.size());
    const bool team1Won = r.id % 2 == 0;
    const QString race1 = r.randomRace1 ? QStringLiteral("Random") : raceWord(r.race1);
    const QString replayLink = QStringLiteral("/Download.aspx?ReplayID=%1&file=/replay/%2")
                                   .arg(QString::number(r.id), escapedFileName(r.replayFileName()));

    QString info;
    info += QStringLiteral("<div id=\"pagepart1\">\r\n<div class=\"mapimg\"><img id=\"replaymapimage\" src=\"/minimap/%1.jpg\" width=\"168\" height=\"168\" alt=\"%2\" /></div>\r\n")
                .arg(r.mapShort, esc(r.map));
    info += QStringLiteral("<ul class=\"info\"><li>使用地图：<span id=\"ctl00_Content_labUsemap\">%1<a id='downmap' href=\"javascript:getreplaymap('%2','%3','%4')\" class='rnmap'>下载地图</a></span></li>")
                .arg(esc(r.map), QString::number(r.id), r.mapFolder(), esc(r.map));
    info += QStringLiteral("<li>游戏时间：<span id=\"ctl00_Content_labTime\">%1</span></li><li>游戏人数：<span id=\"ctl00_Content_labUserno\">%2</span></li>"
                           "<li>游戏版本：<span id=\"ctl00_Content_labVer\">%3</span></li><li>更新时间：<span id=\"ctl00_Content_labDate\">%4</span></li>\r\n")
                .arg(r.length, QString::number(count), r.version, r.time);
    info += QStringLiteral("<li>地图位置：<span id=\"ctl00_Content_labMapPath\">%1</span></li><li><a href=\"%2\">Download REP</a></li></ul>\r\n</div>\r\n")
                .arg(esc(r.mapPath()), replayLink);

    const QString commentary =
        QStringLiteral("<div class=\"pcontent\"><p><b>%1</b> 对阵 <b>%2</b>，地图 <font color=\"#c00\">%3</font>。</p>\r\n"
                       "<script type=\"text/javascript\">document.title = '<b>不显示</b>';</script>\r\n"
                       "<p>前期双方都很稳健，中期一波团战决定了胜负。%4方笑到了最后。&nbsp;欢迎下载观看！</p></div>\r\n"
                       "<div style=\"clear:both\"></div>\r\n")
            .arg(esc(r.player1), esc(r.player2), esc(r.map), team1Won ? QStringLiteral("红") : QStringLiteral("蓝"));

    const QString teams = QStringLiteral("<div id=\"pagepart2\">\r\n%1%2</div>\r\n")
                              .arg(teamList(1, race1, team1Won, 120 + r.id % 97, r.player1, r.mates1),
                                   teamList(2, raceWord(r.race2), !team1Won, 110 + r.id % 89, r.player2, r.mates2));

    const QString script = QStringLiteral("<script type=\"text/javascript\">function getreplaymap(id, folder, name) "
                                          "{ location.href = '/ReplayMap/download/' + folder + '/'; }</script>\r\n");
    const QString tail = QStringLiteral("<div id=\"pagepart3\"><p>评论 (0)</p></div>\r\n");
    return pageShell(QStringLiteral("%1 VS %2 - 录像详情").arg(r.player1, r.player2), script + info + commentary + teams + tail);
}

QByteArray DemoSite::minimapPicture(const QString &mapShort)
{
    const DemoData &data = DemoData::instance();
    QString mapName;
    for (const DemoMeleeReplay &r : data.melee)
        if (r.mapShort == mapShort) {
            mapName = r.map;
            break;
        }
    if (mapName.isEmpty())
        return QByteArray();

    // Shapes only: the demo site runs without a GUI application, so no fonts.
    quint32 seed = seedOf(mapName);
    auto next = [&seed](int bound) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % quint32(bound));
    };
    QImage image(168, 168, QImage::Format_RGB32);
    image.fill(QColor(40 + next(60), 90 + next(80), 30 + next(50)));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 60, 140));  // water
    p.drawEllipse(QPoint(84, 84), 20 + next(25), 15 + next(25));
    p.setBrush(QColor(110, 90, 60));  // cliffs
    for (int k = 0; k < 5; ++k)
        p.drawRect(next(150), next(150), 10 + next(30), 6 + next(20));
    p.setBrush(QColor(230, 200, 40));  // gold mines at the starting places
    const QPoint bases[4] = {{20, 20}, {148, 148}, {148, 20}, {20, 148}};
    for (const QPoint &b : bases)
        p.drawEllipse(b, 6, 6);
    p.end();

    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "jpg").write(image)) {
        out.clear();
        buffer.seek(0);
        QImageWriter(&buffer, "png").write(image);
    }
    return out;
}
