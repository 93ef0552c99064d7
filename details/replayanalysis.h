#pragma once
// The analysis document of a replay read whole: the players' table, a chart of
// each player's actions per minute and the chat log, as one HTML document for the
// detail pane. Pure: from the read replay to text. Every text of the file is
// HTML-escaped, and the document needs nothing from outside itself: no scripts,
// no pictures, no style sheets, no addresses (the chart is inline SVG).
#include "details/replayfile.h"

#include <QString>

// "所有人", "盟友", "观察者", "私聊".
QString ReplayChannelText(ReplayChannel channel);
// "胜", "负", "未知".
QString ReplayResultText(ReplayResult result);

// The document. A replay that was not read whole gives its players' table only,
// without APM, leave times or results.
QString ReplayAnalysisHtml(const ReplayInfo &info);
