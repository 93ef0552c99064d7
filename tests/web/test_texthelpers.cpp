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

struct Case {
    const char *in;
    const char *expected;
};
} // namespace

// ---------------------------------------------------------------- find

TEST(Find, Cases)
{
    struct FindCase {
        const char *neir, *lside, *rside, *expected;
    };
    const FindCase cases[] = {
        {"<li class=\"c_m\">失落的神庙</li><li class=\"c_t\">2008</li>", "<li class=\"c_m\">", "</li>", "失落的神庙"},
        {"<li class=\"c_m\">a</li><li class=\"c_t\">2008</li>", "<li class=\"c_t\">", "</li>", "2008"},
        {"<td></td>", "<td>", "</td>", ""},                 // adjacent markers
        {"<TD>x</TD>", "<td>", "</td>", ""},                // exact comparison
        {"<div id=\"map\">x</div>", "<span>", "</div>", ""}, // no left marker
        {"<div id=\"map\">x</div>", "<div id=\"map\">", "</span>", ""},
        {"</b> text <b>", "<b>", "</b>", ""},               // right marker only in front
        {"", "<b>", "</b>", ""},
        {"", "", "</b>", ""},
        {"<b>one<b>two</b>", "<b>", "</b>", "one<b>two"},    // only the first left marker counts
        {"<i>a<i>b", "<i>", "</i>", ""},
        // The right marker is searched from the start of the left one: found inside it.
        {"<li class=\"c_t\">10:20\"> more \">", "<li class=\"c_t\">", "\">", ""},
        {"abc>1c> abc>2c>", "abc>", "c>", ""},
        {"|x|", "|", "|", ""},
        {"1.24b|Turtle Rock", "", "|", "1.24b"},             // empty left marker matches at the start
        {"|x", "", "|", ""},
        {"<b>x</b>", "<b>", "", ""},                         // empty right marker: nothing
        {"<b>x</b>", "", "", ""},
    };
    for (const FindCase &c : cases)
        EXPECT_EQ(find(u8s(c.neir), u8s(c.lside), u8s(c.rside)), u8s(c.expected)) << c.neir << " | " << c.lside;
    // Positions count UTF-16 code units: characters outside the BMP inside and around.
    EXPECT_EQ(find(QStringLiteral(u"\U0001F600[\U0001F451王者]\U0001F600"), QStringLiteral(u"["), QStringLiteral(u"]")),
              QStringLiteral(u"\U0001F451王者"));
}

// ---------------------------------------------------------------- URLDecode

TEST(URLDecode, Cases)
{
    const Case cases[] = {
        // No "%": unchanged, "+" included.
        {"Replay+2008 05.w3g", "Replay+2008 05.w3g"},
        {"天灾.w3g", "天灾.w3g"},
        {"", ""},
        // Escapes up to 7F, either letter case; "+" is not a space.
        {"Sky%20vs%20Moon.w3g", "Sky vs Moon.w3g"},
        {"%41%62c", "Abc"},
        {"%7e%7E", "~~"},
        {"a+b%2Bc", "a+b+c"},
        // Decoded faithfully: whoever builds a path from it checks the name.
        {"..%2F..%2fboot.ini", "../../boot.ini"},
        {"..%5Cwar3.exe", "..\\war3.exe"},
        // Double-byte escapes: lead byte above 7F with the following escape.
        {"%B0%A1", "啊"},
        {"%b0%a1", "啊"},
        {"/replay/%D6%D0%CE%C4_%CC%EC%D4%D6.w3g", "/replay/中文_天灾.w3g"},
        {"%B0%A1x+y%20z", "啊x+y z"},
        {"%B0-A1", "啊"},  // the character before the trail byte is skipped whatever it is
        {"Maps%2F%C8%FD%B9%FA.w3x", "Maps/三国.w3x"},
        // A "%" without two hex digits stays; decoding goes on right behind it.
        {"100%", "100%"},
        {"%", "%"},
        {"50% off", "50% off"},
        {"%G1x", "%G1x"},
        {"a%4", "a%4"},
        {"%%41", "%A"},
        // A lead byte without a trail pair behind it stays alone.
        {"name%B0", "name%B0"},
        {"%D6", "%D6"},
        {"%D6x", "%D6x"},
        {"name%B0%", "name%B0%"},
        {"name%B0%A", "name%B0%A"},
        {"%B0%ZZ.w3g", "%B0%ZZ.w3g"},
        // A pair that is no character: both escapes stay as written, so the trail
        // byte never comes out on its own as "/", "\" or NUL.
        {"%D6%38", "%D6%38"},
        {"%C0%2F", "%C0%2F"},
        {"%80%41", "%80%41"},
        {"%B0%20x", "%B0%20x"},
        {"%FF%B0%A1", "%FF%B0%A1"},
        {"%FF%B0%B0%A1", "%FF%B0啊"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(URLDecode(u8s(c.in)), u8s(c.expected)) << c.in;
    EXPECT_EQ(URLDecode(u8s("%7F")), QString(QChar(0x7F)));
    EXPECT_EQ(URLDecode(u8s("a%00b")), u8s("a") + QChar(0) + u8s("b"));
    EXPECT_FALSE(URLDecode(u8s("end%")).contains(QChar(0)));
    EXPECT_FALSE(URLDecode(u8s("%C0%00")).contains(QChar(0)));
}

// ---------------------------------------------------------------- HtmlToText

TEST(HtmlToText, Cases)
{
    const Case cases[] = {
        {"", ""},
        {"天灾军团 胜", "天灾军团 胜"},
        // Listed tags go in either letter case, opening and closing alike.
        {"<B>Grubby</b> wins with <Font color=red>Orc</FONT>", "Grubby wins with Orc"},
        {"<div class=\"memo\"><p>解说：<b>人族</b>速科技</p></div>", "解说：人族速科技"},
        {"<table><tr><td>玩家</td><td>种族</td></tr></table>", "玩家种族"},
        {"<p>line 1\r\n  line 2</p>\n", "line 1\r\n  line 2\n"},  // text between tags as it stands
        {"a<img\nsrc=\"x.gif\">b<br\r\n>c", "abc"},               // line breaks end the name
        {"a<br\tclass=x>b", "a<br\tclass=x>b"},                    // a tab does not
        {"a</script>b", "ab"},                                      // a closing block tag alone
        {"<!DOCTYPE html><H1>x</h1><wbr><XMP>", "x"},
        // Block elements go with their content; the closing tag is found without case.
        {"before<script type=\"text/javascript\">var s = '<b>x</b>';</SCRIPT >after", "beforeafter"},
        {"<head><title>录像</title><style>p{color:red}</style></head><body>正文</body>", "正文"},
        {"<noscript><img src=a.gif></noscript>after", "after"},
        {"<script>a</script>mid<Script>b</script>end", "midend"},
        {"a<script>x<script/>y</scripts>z", "az"},  // "</script" + anything, then its ">"
        // An unclosed block element takes the rest.
        {"text<script>alert(1);<p>more</p>", "text"},
        {"text<style>p{}</styl", "text"},
        {"text<style>p{}</style", "text"},
        // Names not in the list stay, "<" and ">" included.
        {"a<br/>b", "a<br/>b"},
        {"a<br />b", "ab"},
        {"a<!-- note -->b", "ab"},
        {"a<!--note-->b", "a<!--note-->b"},
        {"<legend>Box</legend>", "<legend>Box</legend>"},  // the list holds LAGEND
        {"<LAGEND>Box</lagend>", "Box"},
        {"<foo>x</foo><>y</>", "<foo>x</foo><>y</>"},
        {"< b>x", "< b>x"},
        {"<blockquotes>x<h7>y<B1>", "<blockquotes>x<h7>y<B1>"},
        {"<<<<b>x", "<<<x"},  // only the "<" of an unlisted tag is passed over
        // A name is looked up as ";" + name + ";" in the list text: neighbours match.
        {"<B;BASE>x", "x"},
        {"<h5;h6;hr>x", "x"},
        {"<B;BIG>x", "<B;BIG>x"},
        {"<B;>x<;B>y<B;;BASE>", "<B;>x<;B>y<B;;BASE>"},
        {"<script;select>x</script>", "x"},                         // a tag, but no block
        {"<NOFRAMES;NOSCRIPT>x</noframes;noscript >y", "y"},        // a block in both lists
        {"<HEAD;NOFRAMES>x", "<HEAD;NOFRAMES>x"},                  // neighbours only in the block list
        // A "<" without ">" ends the scan; a ">" ends a tag wherever it stands.
        {"APM < 200", "APM < 200"},
        {"<b>APM</b> < 200 <i>x</i", "APM < 200 x</i"},
        {"<a title=\"x>y\">link</a>", "y\">link"},
        // Only "&nbsp" (exact) becomes a blank, after the tags are gone.
        {"a&nbsp;b", "a ;b"},
        {"a&nbsp&nbsp;b", "a  ;b"},
        {"a&NBSP;b&Nbsp;", "a&NBSP;b&Nbsp;"},
        {"<td>R&amp;D&lt;</td>", "R&amp;D&lt;"},
        {"&nb<b>sp;", " ;"},
        {"&<b>n<i>b</i>s<p>p&&nbsp", " & "},
        {"&nbs", "&nbs"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(HtmlToText(u8s(c.in)), u8s(c.expected)) << c.in;
}
