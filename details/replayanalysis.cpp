// The analysis document: players, APM chart (inline SVG), chat.
#include "details/replayanalysis.h"

#include <QStringList>

#include <algorithm>
#include <map>

namespace {
// The chart's size and margins, in pixels.
constexpr int kWidth = 640, kHeight = 260;
constexpr int kLeft = 48, kRight = 16, kTop = 16, kBottom = 36;

QString esc(const QString &text) { return text.toHtmlEscaped(); }

QString nameOf(const ReplayPlayer &p)
{
    if (p.computer)
        return QStringLiteral("电脑");
    return p.name.isEmpty() ? QStringLiteral("玩家 %1").arg(p.id) : p.name;
}

// A step of about a tenth of `top` that reads well: 1, 2, 5 times a power of ten.
int niceStep(int top)
{
    int step = 1;
    for (;;) {
        for (int k : {1, 2, 5})
            if (step * k * 8 >= top)
                return step * k;
        step *= 10;
    }
}

// Team numbers (observers left out) counted from 1 in order of their number.
std::map<int, int> teamOrder(const ReplayInfo &info)
{
    std::map<int, int> order;
    for (const ReplayPlayer &p : info.players)
        if (!p.observer)
            order[p.team] = 0;
    int n = 0;
    for (auto &t : order)
        t.second = ++n;
    return order;
}

QString playersTable(const ReplayInfo &info)
{
    const std::map<int, int> teams = teamOrder(info);
    QString html = QStringLiteral("<h2>玩家</h2>\n<table class=\"players\">\n<tr><th>颜色</th><th>玩家</th><th>种族</th>"
                                  "<th>队伍</th><th>APM</th><th>离开于</th><th>结果</th></tr>\n");
    for (const ReplayPlayer &p : info.players) {
        const QString race = RaceText(p.race).isEmpty() ? QStringLiteral("未知") : RaceText(p.race);
        const QString team = p.observer ? QStringLiteral("观察者") : QString::number(teams.at(p.team));
        const bool shown = info.whole && !p.computer && !p.observer;
        const QString apm = shown ? QString::number(p.apm) : QStringLiteral("—");
        const QString left = info.whole && p.leftAtMs >= 0 ? ReplayLengthText(p.leftAtMs) : QStringLiteral("—");
        const QString result = p.observer || !info.whole ? QStringLiteral("—") : ReplayResultText(p.result);
        html += QStringLiteral("<tr><td><span class=\"swatch\" style=\"background:%1\"></span></td><td>%2</td><td>%3</td>"
                               "<td>%4</td><td>%5</td><td>%6</td><td>%7</td></tr>\n")
                    .arg(ReplayColourHex(p.colour), esc(nameOf(p)), race, team, apm, left, result);
    }
    return html + QStringLiteral("</table>\n");
}

QString apmChart(const ReplayInfo &info)
{
    qsizetype minutes = 0;
    int top = 0;
    QList<const ReplayPlayer *> drawn;
    for (const ReplayPlayer &p : info.players) {
        if (p.observer || p.computer || p.apmPerMinute.isEmpty())
            continue;
        drawn << &p;
        minutes = qMax(minutes, p.apmPerMinute.size());
        top = qMax(top, *std::max_element(p.apmPerMinute.begin(), p.apmPerMinute.end()));
    }
    if (drawn.isEmpty())
        return QStringLiteral("<h2>每分钟操作数（APM）</h2>\n<p>没有可画的操作。</p>\n");
    const int yStep = niceStep(qMax(top, 10));
    const int yTop = (top / yStep + 1) * yStep;
    const int xStep = niceStep(int(qMax<qsizetype>(minutes, 5)));
    const double plotW = kWidth - kLeft - kRight, plotH = kHeight - kTop - kBottom;
    const auto x = [&](double minute) { return kLeft + plotW * minute / double(qMax<qsizetype>(minutes, 1)); };
    const auto y = [&](double apm) { return kTop + plotH * (1.0 - apm / yTop); };

    QString svg = QStringLiteral("<svg class=\"chart\" width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\">\n")
                      .arg(kWidth).arg(kHeight);
    svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"#FFFFFF\" stroke=\"#999999\"/>\n")
               .arg(kLeft).arg(kTop).arg(plotW).arg(plotH);
    for (int v = 0; v <= yTop; v += yStep)
        svg += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\" stroke=\"#DDDDDD\"/><text x=\"%4\" y=\"%5\" text-anchor=\"end\">%6</text>\n")
                   .arg(kLeft).arg(y(v), 0, 'f', 1).arg(kWidth - kRight).arg(kLeft - 4).arg(y(v) + 4, 0, 'f', 1).arg(v);
    for (qsizetype m = 0; m <= minutes; m += xStep)
        svg += QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"middle\">%3</text>\n")
                   .arg(x(double(m)), 0, 'f', 1).arg(kHeight - kBottom + 16).arg(m);
    svg += QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"middle\">分钟</text>\n").arg(kLeft + plotW / 2).arg(kHeight - 4);
    svg += QStringLiteral("<text x=\"12\" y=\"%1\" text-anchor=\"middle\" transform=\"rotate(-90 12 %1)\">APM</text>\n").arg(kTop + plotH / 2);
    for (const ReplayPlayer *p : std::as_const(drawn)) {
        QStringList points;
        QString dots;
        // Each minute's count at the middle of its minute; a dot on each, so that
        // a game of one minute still shows.
        for (qsizetype m = 0; m < p->apmPerMinute.size(); ++m) {
            const QString px = QString::number(x(m + 0.5), 'f', 1), py = QString::number(y(p->apmPerMinute.at(m)), 'f', 1);
            points << px + u',' + py;
            dots += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"2.5\"/>").arg(px, py);
        }
        const QString colour = ReplayColourHex(p->colour);
        svg += QStringLiteral("<g stroke=\"%1\" fill=\"%1\"><title>%3</title><polyline fill=\"none\" stroke-width=\"2\" points=\"%2\"/>%4</g>\n")
                   .arg(colour, points.join(u' '), esc(nameOf(*p)), dots);
    }
    svg += QStringLiteral("</svg>\n");

    QString legend = QStringLiteral("<p class=\"legend\">");
    for (const ReplayPlayer *p : std::as_const(drawn))
        legend += QStringLiteral("<span class=\"swatch\" style=\"background:%1\"></span> %2 &nbsp; ").arg(ReplayColourHex(p->colour), esc(nameOf(*p)));
    legend += QStringLiteral("</p>\n");
    return QStringLiteral("<h2>每分钟操作数（APM）</h2>\n") + svg + legend;
}

QString chatLog(const ReplayInfo &info)
{
    QString html = QStringLiteral("<h2>聊天记录</h2>\n");
    if (info.chat.isEmpty())
        return html + QStringLiteral("<p>没有聊天。</p>\n");
    std::map<int, const ReplayPlayer *> byId;
    for (const ReplayPlayer &p : info.players)
        if (!p.computer)
            byId[p.id] = &p;
    // A private line names its addressee, by the slot the file gives.
    const auto channelOf = [&](const ReplayChatLine &line) {
        QString text = ReplayChannelText(line.channel);
        if (line.channel == ReplayChannel::Private && line.toSlot >= 0 && line.toSlot < info.slotTable.size()) {
            const auto to = byId.find(info.slotTable.at(line.toSlot).playerId);
            if (to != byId.end())
                text += QStringLiteral(" → ") + esc(nameOf(*to->second));
        }
        return text;
    };
    html += QStringLiteral("<table class=\"chat\">\n<tr><th>时间</th><th>玩家</th><th>频道</th><th>内容</th></tr>\n");
    for (const ReplayChatLine &line : info.chat) {
        const auto it = byId.find(line.playerId);
        const QString colour = it != byId.end() ? ReplayColourHex(it->second->colour) : ReplayColourHex(-1);
        const QString sender = line.sender.isEmpty() ? QStringLiteral("玩家 %1").arg(line.playerId) : line.sender;
        // A swatch of the player's colour: light colours are unreadable as text.
        html += QStringLiteral("<tr><td>%1</td><td><span class=\"swatch\" style=\"background:%2\"></span> %3</td><td>%4</td><td>%5</td></tr>\n")
                    .arg(ReplayLengthText(line.timeMs), colour, esc(sender), channelOf(line), esc(line.text));
    }
    return html + QStringLiteral("</table>\n");
}
} // namespace

QString ReplayChannelText(ReplayChannel channel)
{
    switch (channel) {
    case ReplayChannel::All: return QStringLiteral("所有人");
    case ReplayChannel::Allies: return QStringLiteral("盟友");
    case ReplayChannel::Observers: return QStringLiteral("观察者");
    case ReplayChannel::Private: return QStringLiteral("私聊");
    }
    return QString();
}

QString ReplayResultText(ReplayResult result)
{
    switch (result) {
    case ReplayResult::Won: return QStringLiteral("胜");
    case ReplayResult::Lost: return QStringLiteral("负");
    case ReplayResult::Unknown: break;
    }
    return QStringLiteral("未知");
}

QString ReplayAnalysisHtml(const ReplayInfo &info)
{
    QString html = QStringLiteral(
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><style>\n"
        "body{font-family:sans-serif;font-size:13px;margin:8px}h1{font-size:16px}h2{font-size:14px;margin:12px 0 4px}"
        "table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:2px 6px;text-align:left}"
        ".swatch{display:inline-block;width:12px;height:12px;border:1px solid #666;vertical-align:middle}"
        ".chat td:nth-child(-n+3){white-space:nowrap}svg text{font-size:11px}"
        // The chart keeps its shape and fits a pane narrower than it.
        "svg.chart{max-width:100%;height:auto}\n</style></head><body>\n");
    html += QStringLiteral("<h1>%1</h1>\n<p>地图：%2 · 版本：%3 · 时长：%4</p>\n")
                .arg(esc(info.gameName), esc(info.mapPath), ReplayVersionText(info.version), ReplayLengthText(info.lengthMs));
    html += playersTable(info);
    if (info.whole) {
        QStringList winners;
        for (const ReplayPlayer &p : info.players)
            if (p.result == ReplayResult::Won)
                winners << esc(nameOf(p));
        html += QStringLiteral("<p>胜方：%1</p>\n").arg(winners.isEmpty() ? QStringLiteral("未知") : winners.join(QStringLiteral("、")));
        if (!info.walkComplete)
            html += QStringLiteral("<p>录像后段含有无法识别的记录：以下统计只到那里为止。</p>\n");
        html += apmChart(info);
        html += chatLog(info);
    }
    return html + QStringLiteral("</body></html>\n");
}
