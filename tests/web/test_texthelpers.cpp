#include "web/texthelpers.h"

#include <gtest/gtest.h>

#include <QString>
#include <ostream>

// Readable failure output for QString values.
void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toUtf8().toStdString() << '"';
}

namespace {
QString u8s(const char *utf8) { return QString::fromUtf8(utf8); }
} // namespace

// ---------------------------------------------------------------- find

TEST(Find, TextBetweenMarkers)
{
    const QString page = u8s("<li class=\"c_m\">失落的神庙</li><li class=\"c_t\">2008-05-12</li>");
    EXPECT_EQ(find(page, u8s("<li class=\"c_m\">"), u8s("</li>")), u8s("失落的神庙"));
    // The right marker is the first one behind the left marker, not a later one.
    EXPECT_EQ(find(page, u8s("<li class=\"c_t\">"), u8s("</li>")), u8s("2008-05-12"));
    // Adjacent markers enclose nothing.
    EXPECT_EQ(find(u8s("<td></td>"), u8s("<td>"), u8s("</td>")), QString());
    // Markers are compared exactly: letter case matters.
    EXPECT_EQ(find(u8s("<TD>x</TD>"), u8s("<td>"), u8s("</td>")), QString());
}

TEST(Find, MissingMarkersGiveEmptyText)
{
    const QString page = u8s("<div id=\"map\">Turtle Rock</div>");
    EXPECT_EQ(find(page, u8s("<span id=\"map\">"), u8s("</div>")), QString());  // no left marker
    EXPECT_EQ(find(page, u8s("<div id=\"map\">"), u8s("</span>")), QString()); // no right marker
    // A right marker that only occurs in front of the left one does not count.
    EXPECT_EQ(find(u8s("</b> text <b>"), u8s("<b>"), u8s("</b>")), QString());
    EXPECT_EQ(find(QString(), u8s("<b>"), u8s("</b>")), QString());
    EXPECT_EQ(find(QString(), QString(), u8s("</b>")), QString());
}

TEST(Find, OnlyFirstLeftMarkerCounts)
{
    // The second left marker lies inside the result.
    EXPECT_EQ(find(u8s("<b>one<b>two</b>"), u8s("<b>"), u8s("</b>")), u8s("one<b>two"));
    // The first left marker has no right marker behind it: a later pair is never tried.
    // (Every later left marker would be behind the first, so there is none for it either.)
    EXPECT_EQ(find(u8s("<i>a<i>b"), u8s("<i>"), u8s("</i>")), QString());
}

TEST(Find, RightMarkerInsideLeftMarkerGivesEmptyText)
{
    // The right marker is searched from the start of the left one, so it is found
    // inside it; a later occurrence does not help.
    const QString page = u8s("<li class=\"c_t\">10:20\"> more \">");
    EXPECT_EQ(find(page, u8s("<li class=\"c_t\">"), u8s("\">")), QString());
    EXPECT_EQ(find(u8s("abc>1c> abc>2c>"), u8s("abc>"), u8s("c>")), QString());
    // A right marker equal to the whole left marker.
    EXPECT_EQ(find(u8s("|x|"), u8s("|"), u8s("|")), QString());
}

TEST(Find, EmptyMarkers)
{
    // An empty left marker matches at the start.
    EXPECT_EQ(find(u8s("1.24b|Turtle Rock"), QString(), u8s("|")), u8s("1.24b"));
    EXPECT_EQ(find(u8s("|x"), QString(), u8s("|")), QString());
    // An empty right marker never gives anything.
    EXPECT_EQ(find(u8s("<b>x</b>"), u8s("<b>"), QString()), QString());
    EXPECT_EQ(find(u8s("<b>x</b>"), QString(), QString()), QString());
}

TEST(Find, CountsUtf16CodeUnits)
{
    // A character outside the BMP (two code units) inside and around the result.
    const QString page = QStringLiteral(u"\U0001F600[\U0001F451王者]\U0001F600");
    EXPECT_EQ(find(page, QStringLiteral(u"["), QStringLiteral(u"]")), QStringLiteral(u"\U0001F451王者"));
}

// ---------------------------------------------------------------- URLDecode

TEST(URLDecode, TextWithoutPercentIsUnchanged)
{
    EXPECT_EQ(URLDecode(u8s("Replay+2008 05.w3g")), u8s("Replay+2008 05.w3g"));
    EXPECT_EQ(URLDecode(u8s("天灾.w3g")), u8s("天灾.w3g"));
    EXPECT_EQ(URLDecode(QString()), QString());
}

TEST(URLDecode, AsciiEscapes)
{
    EXPECT_EQ(URLDecode(u8s("Sky%20vs%20Moon.w3g")), u8s("Sky vs Moon.w3g"));
    EXPECT_EQ(URLDecode(u8s("%41%62c")), u8s("Abc"));
    EXPECT_EQ(URLDecode(u8s("%7e%7E")), u8s("~~"));   // either letter case of the digits
    EXPECT_EQ(URLDecode(u8s("a+b%2Bc")), u8s("a+b+c")); // "+" is not a space
    EXPECT_EQ(URLDecode(u8s("%7F")), QString(QChar(0x7F)));
}

TEST(URLDecode, PathCharactersAreDecodedFaithfully)
{
    // Decoding yields separators, ".." and NUL as written; code that builds file
    // paths from a decoded name has to refuse such names itself.
    EXPECT_EQ(URLDecode(u8s("..%2F..%2fboot.ini")), u8s("../../boot.ini"));
    EXPECT_EQ(URLDecode(u8s("..%5Cwar3.exe")), u8s("..\\war3.exe"));
    EXPECT_EQ(URLDecode(u8s("a%00b")), u8s("a") + QChar(0) + u8s("b"));
    EXPECT_EQ(URLDecode(u8s("a%00b")).size(), 3);
}

TEST(URLDecode, DoubleByteEscapes)
{
    EXPECT_EQ(URLDecode(u8s("%B0%A1")), u8s("啊"));
    EXPECT_EQ(URLDecode(u8s("%b0%a1")), u8s("啊"));
    EXPECT_EQ(URLDecode(u8s("/replay/%D6%D0%CE%C4_%CC%EC%D4%D6.w3g")), u8s("/replay/中文_天灾.w3g"));
    // Text behind the second escape is copied as it stands.
    EXPECT_EQ(URLDecode(u8s("%B0%A1x+y%20z")), u8s("啊x+y z"));
    // The character in front of the trail byte is skipped whatever it is.
    EXPECT_EQ(URLDecode(u8s("%B0-A1")), u8s("啊"));
    // Mixed with ASCII escapes and plain Chinese text.
    EXPECT_EQ(URLDecode(u8s("Maps%2F%C8%FD%B9%FA.w3x")), u8s("Maps/三国.w3x"));
}

TEST(URLDecode, MalformedEscapesAreCopiedThrough)
{
    // A "%" without two hex digits stays, and decoding goes on right behind it.
    EXPECT_EQ(URLDecode(u8s("100%")), u8s("100%"));
    EXPECT_EQ(URLDecode(u8s("%")), u8s("%"));
    EXPECT_EQ(URLDecode(u8s("50% off")), u8s("50% off"));
    EXPECT_EQ(URLDecode(u8s("%G1x")), u8s("%G1x"));
    EXPECT_EQ(URLDecode(u8s("a%4")), u8s("a%4"));
    EXPECT_EQ(URLDecode(u8s("%%41")), u8s("%A"));
    EXPECT_FALSE(URLDecode(u8s("end%")).contains(QChar(0)));

    // A lead byte without a trail pair is kept as written.
    EXPECT_EQ(URLDecode(u8s("name%B0")), u8s("name%B0"));
    EXPECT_EQ(URLDecode(u8s("name%B0%")), u8s("name%B0%"));
    EXPECT_EQ(URLDecode(u8s("name%B0%A")), u8s("name%B0%A"));
    EXPECT_EQ(URLDecode(u8s("%B0%ZZ.w3g")), u8s("%B0%ZZ.w3g"));

    // A pair that is no character of the code page: the first escape stays and
    // the second one is decoded on its own.
    EXPECT_EQ(URLDecode(u8s("%80%41")), u8s("%80A"));
    EXPECT_EQ(URLDecode(u8s("%B0%20x")), u8s("%B0 x"));
    EXPECT_EQ(URLDecode(u8s("%FF%B0%A1")), u8s("%FF啊"));
}

// ---------------------------------------------------------------- HtmlToText

TEST(HtmlToText, ListedTagsAreRemovedInEitherCase)
{
    EXPECT_EQ(HtmlToText(u8s("<B>Grubby</b> wins with <Font color=red>Orc</FONT>")),
              u8s("Grubby wins with Orc"));
    EXPECT_EQ(HtmlToText(u8s("<div class=\"memo\"><p>解说：<b>人族</b>速科技</p></div>")),
              u8s("解说：人族速科技"));
    EXPECT_EQ(HtmlToText(u8s("<table><tr><td>玩家</td><td>种族</td></tr></table>")), u8s("玩家种族"));
    // Text between the tags, line breaks included, stays as it is.
    EXPECT_EQ(HtmlToText(u8s("<p>line 1\r\n  line 2</p>\n")), u8s("line 1\r\n  line 2\n"));
    // A line break inside the tag separates the name like a blank.
    EXPECT_EQ(HtmlToText(u8s("a<img\nsrc=\"x.gif\">b<br\r\n>c")), u8s("abc"));
    // A tab does not.
    EXPECT_EQ(HtmlToText(u8s("a<br\tclass=x>b")), u8s("a<br\tclass=x>b"));
    // A closing block tag on its own is just a listed tag.
    EXPECT_EQ(HtmlToText(u8s("a</script>b")), u8s("ab"));
}

TEST(HtmlToText, BlockElementsGoWithTheirContent)
{
    // Closing tag found without regard to case, also with a blank before its ">".
    EXPECT_EQ(HtmlToText(u8s("before<script type=\"text/javascript\">var s = '<b>x</b>';</SCRIPT >after")),
              u8s("beforeafter"));
    EXPECT_EQ(HtmlToText(u8s("<head><title>录像</title><style>p{color:red}</style></head><body>正文</body>")),
              u8s("正文"));
    EXPECT_EQ(HtmlToText(u8s("<noscript><img src=a.gif></noscript>after")), u8s("after"));
    EXPECT_EQ(HtmlToText(u8s("<script>a</script>mid<Script>b</script>end")), u8s("midend"));
}

TEST(HtmlToText, UnclosedBlockElementRemovesTheRest)
{
    EXPECT_EQ(HtmlToText(u8s("text<script>alert(1);<p>more</p>")), u8s("text"));
    // Closing tag cut short, or its ">" missing.
    EXPECT_EQ(HtmlToText(u8s("text<style>p{}</styl")), u8s("text"));
    EXPECT_EQ(HtmlToText(u8s("text<style>p{}</style")), u8s("text"));
}

TEST(HtmlToText, UnlistedNamesStay)
{
    // "/" glued to the name makes another name; with a blank before it the tag goes.
    EXPECT_EQ(HtmlToText(u8s("a<br/>b")), u8s("a<br/>b"));
    EXPECT_EQ(HtmlToText(u8s("a<br />b")), u8s("ab"));
    // A comment needs the blank behind "!--".
    EXPECT_EQ(HtmlToText(u8s("a<!-- note -->b")), u8s("ab"));
    EXPECT_EQ(HtmlToText(u8s("a<!--note-->b")), u8s("a<!--note-->b"));
    // The list holds LAGEND, not LEGEND.
    EXPECT_EQ(HtmlToText(u8s("<legend>Box</legend>")), u8s("<legend>Box</legend>"));
    EXPECT_EQ(HtmlToText(u8s("<LAGEND>Box</lagend>")), u8s("Box"));
    EXPECT_EQ(HtmlToText(u8s("<foo>x</foo><>y</>")), u8s("<foo>x</foo><>y</>"));
    // A name with a blank in front of it is empty and never listed.
    EXPECT_EQ(HtmlToText(u8s("< b>x")), u8s("< b>x"));
    // Only the "<" of an unlisted tag is passed over: the scan goes on behind it.
    EXPECT_EQ(HtmlToText(u8s("<<<<b>x")), u8s("<<<x"));
}

TEST(HtmlToText, LessThanWithoutGreaterThanEndsTheScan)
{
    EXPECT_EQ(HtmlToText(u8s("APM < 200")), u8s("APM < 200"));
    // A stray "<" takes the next ">" as its end, is no listed tag and stays.
    EXPECT_EQ(HtmlToText(u8s("<b>APM</b> < 200 <i>x</i")), u8s("APM < 200 x</i"));
    // A ">" inside an attribute ends the tag there.
    EXPECT_EQ(HtmlToText(u8s("<a title=\"x>y\">link</a>")), u8s("y\">link"));
}

TEST(HtmlToText, OnlyLowerCaseNbspIsReplaced)
{
    EXPECT_EQ(HtmlToText(u8s("a&nbsp;b")), u8s("a ;b"));
    EXPECT_EQ(HtmlToText(u8s("a&nbsp&nbsp;b")), u8s("a  ;b"));
    EXPECT_EQ(HtmlToText(u8s("a&NBSP;b&Nbsp;")), u8s("a&NBSP;b&Nbsp;"));
    // No other entity is decoded.
    EXPECT_EQ(HtmlToText(u8s("<td>R&amp;D&lt;</td>")), u8s("R&amp;D&lt;"));
    // Replacement happens on the output, after the tags are gone.
    EXPECT_EQ(HtmlToText(u8s("&nb<b>sp;")), u8s(" ;"));
}

TEST(HtmlToText, EmptyAndPlainText)
{
    EXPECT_EQ(HtmlToText(QString()), QString());
    EXPECT_EQ(HtmlToText(u8s("天灾军团 胜")), u8s("天灾军团 胜"));
}
