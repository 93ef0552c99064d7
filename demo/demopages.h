#pragma once
// Pieces that the three demo sites share: page shells and request reading.
#include "demo/demoserver.h"

#include <QString>

namespace demopage {
void initResources();  // the data set and the feed live in a static library
QString esc(const QString &s);
QString pageShell(const QString &title, const QString &body);
int pageNumber(const DemoRequest &r);     // PageNo=, 1 when absent or not a number
QString keywordText(const DemoRequest &r);  // str=, sent in code page 936
QString hostRoot(const DemoRequest &r);   // "http://" + the Host header
// Made-up but repeatable bytes: a seed spread over all bits, and the next state
// of a xorshift sequence (which must not start at 0).
quint32 mixBits(quint32 x);
quint32 xorshift(quint32 &state);
} // namespace demopage
