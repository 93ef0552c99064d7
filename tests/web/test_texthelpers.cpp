#include "web/texthelpers.h"
#include "support/testfiles.h"

using Case = std::pair<const char *, const char *>;  // {in, expected}

TEST(Find, Cases)
{
    const struct {
        const char *neir, *lside, *rside, *expected;
    } cases[] = {
        {"<li class=\"c_m\">失落的神庙</li><li class=\"c_t\">2008</li>", "<li class=\"c_m\">", "</li>", "失落的神庙"},
        {"<td></td>", "<td>", "</td>", ""},                  // adjacent markers
        {"<TD>x</TD>", "<td>", "</td>", ""},                 // exact comparison
        {"<div id=\"map\">x</div>", "<span>", "</div>", ""},  // no left marker
        {"</b> text <b>", "<b>", "</b>", ""},                // right marker only in front
        {"<b>one<b>two</b>", "<b>", "</b>", "one<b>two"},     // only the first left marker counts
        // The right marker is searched from the start of the left one: found inside it.
        {"<li class=\"c_t\">10:20\"> more \">", "<li class=\"c_t\">", "\">", ""},
        {"1.24b|Turtle Rock", "", "|", "1.24b"},              // empty left marker matches at the start
        {"<b>x</b>", "<b>", "", ""},                          // empty right marker: nothing
    };
    for (const auto &c : cases)
        EXPECT_EQ(find(u8s(c.neir), u8s(c.lside), u8s(c.rside)), u8s(c.expected)) << c.neir << " | " << c.lside;
    // Positions count UTF-16 code units: characters outside the BMP inside and around.
    EXPECT_EQ(find(QStringLiteral(u"\U0001F600[\U0001F451王者]\U0001F600"), QStringLiteral(u"["), QStringLiteral(u"]")),
              QStringLiteral(u"\U0001F451王者"));
}

TEST(URLDecode, Cases)
{
    const Case cases[] = {
        {"Replay+2008 05.w3g", "Replay+2008 05.w3g"}, {"Sky%20vs%20Moon.w3g", "Sky vs Moon.w3g"},
        {"a+b%2b%7E", "a+b+~"},  // either letter case; "+" is not a space
        // Double-byte escapes: lead byte above 7F with the following escape; the
        // character before the trail byte is skipped whatever it is.
        {"/replay/%D6%D0%CE%C4_%cc%ec.w3g", "/replay/中文_天.w3g"}, {"%B0-A1", "啊"},
        // A "%" without two hex digits stays; decoding goes on right behind it.
        {"a%4", "a%4"}, {"%G1x", "%G1x"}, {"%%41", "%A"},
        // A lead byte without a trail pair behind it stays alone.
        {"name%B0", "name%B0"}, {"%D6x", "%D6x"}, {"name%B0%A", "name%B0%A"}, {"%B0%ZZ.w3g", "%B0%ZZ.w3g"},
        // A pair that is no character: both escapes stay as written, so the trail
        // byte never comes out on its own as "/", "\" or NUL.
        {"%D6%38", "%D6%38"}, {"%C0%2F", "%C0%2F"}, {"%80%41", "%80%41"}, {"%FF%B0%B0%A1", "%FF%B0啊"},
    };
    for (const auto &[in, expected] : cases)
        EXPECT_EQ(URLDecode(u8s(in)), u8s(expected)) << in;
    EXPECT_EQ(URLDecode(u8s("%7F")), QString(QChar(0x7F)));
    EXPECT_EQ(URLDecode(u8s("a%00b")), u8s("a") + QChar(0) + u8s("b"));
    EXPECT_FALSE(URLDecode(u8s("end%")).contains(QChar(0)) || URLDecode(u8s("%C0%00")).contains(QChar(0)));
}

TEST(HtmlToText, Cases)
{
    const Case cases[] = {
        // Listed tags go in either letter case, opening and closing alike.
        {"<B>Grubby</b> wins with <Font color=red>Orc</FONT>", "Grubby wins with Orc"},
        {"<p>line 1\r\n  line 2</p>\n", "line 1\r\n  line 2\n"},  // text between tags as it stands
        {"a<img\nsrc=\"x.gif\">b<br\r\n>c", "abc"}, {"a<br\tclass=x>b", "a<br\tclass=x>b"},  // a tab ends no name
        {"a</script>b", "ab"},                                      // a closing block tag alone
        // Block elements go with their content; the closing tag is found without case.
        {"before<script type=\"text/javascript\">var s = '<b>x</b>';</SCRIPT >after", "beforeafter"},
        {"<head><title>录像</title><style>p{color:red}</style></head><body>正文</body>", "正文"},
        {"a<script>x<script/>y</scripts>z", "az"},  // "</script" + anything, then its ">"
        // An unclosed block element takes the rest.
        {"text<script>alert(1);<p>more</p>", "text"}, {"text<style>p{}</style", "text"},
        // Names not in the list stay, "<" and ">" included.
        {"a<br/>b", "a<br/>b"}, {"a<br />b", "ab"}, {"a<!-- note -->b", "ab"},
        {"<legend>Box</legend>", "<legend>Box</legend>"}, {"<LAGEND>Box</lagend>", "Box"},  // the list holds LAGEND
        {"<<<<b>x", "<<<x"},  // only the "<" of an unlisted tag is passed over
        // A name is looked up as ";" + name + ";" in the list text: neighbours match.
        {"<B;BASE>x", "x"}, {"<B;BIG>x", "<B;BIG>x"}, {"<B;>x<;B>y<B;;BASE>", "<B;>x<;B>y<B;;BASE>"},
        {"<script;select>x</script>", "x"},                   // a tag, but no block
        {"<NOFRAMES;NOSCRIPT>x</noframes;noscript >y", "y"},  // a block in both lists
        {"<HEAD;NOFRAMES>x", "<HEAD;NOFRAMES>x"},            // neighbours only in the block list
        // A "<" without ">" ends the scan; a ">" ends a tag wherever it stands.
        {"<b>APM</b> < 200 <i>x</i", "APM < 200 x</i"}, {"<a title=\"x>y\">link</a>", "y\">link"},
        // Only "&nbsp" (exact) becomes a blank, after the tags are gone.
        {"a&nbsp&nbsp;b", "a  ;b"}, {"a&NBSP;b&Nbsp;", "a&NBSP;b&Nbsp;"}, {"&<b>n<i>b</i>s<p>p&&nbsp", " & "},
    };
    for (const auto &[in, expected] : cases)
        EXPECT_EQ(HtmlToText(u8s(in)), u8s(expected)) << in;
}

// Hostile text: "a<b" over and over, the only ">" at the very end. Every "<" but
// the last opens an unlisted name that runs to that ">"; the last one closes "<b>".
// (Scanning each name to the end used to take minutes for a text this long.)
TEST(HtmlToText, LongUnlistedNamesOnLongText)
{
    const QString shape = u8s("a<b");
    const QString text = shape.repeated(1400000) + u8s(">");  // 4.2 MB
    EXPECT_EQ(HtmlToText(text), shape.repeated(1399999) + u8s("a"));

    // The longest name that can be listed: the whole tag list as neighbours.
    const QString whole = u8s("!--;!DOCTYPE;A;ACRONYM;ADDRESS;APPLET;AREA;B;BASE;BASEFONT;BGSOUND;BIG;BLOCKQUOTE;BODY;BR;BUTTON;CAPTION;CENTER;CITE;CODE;"
        "COL;COLGROUP;COMMENT;DD;DEL;DFN;DIR;DIV;DL;DT;EM;EMBED;FIELDSET;FONT;FORM;FRAME;FRAMESET;HEAD;H1;H2;H3;H4;H5;H6;HR;HTML;I;IFRAME;IMG;INPUT;"
        "INS;ISINDEX;KBD;LABEL;LAYER;LAGEND;LI;LINK;LISTING;MAP;MARQUEE;MENU;META;NOBR;NOFRAMES;NOSCRIPT;OBJECT;OL;OPTION;P;PARAM;PLAINTEXT;PRE;Q;S;"
        "SAMP;SCRIPT;SELECT;SMALL;SPAN;STRIKE;STRONG;STYLE;SUB;SUP;TABLE;TBODY;TD;TEXTAREA;TFOOT;TH;THEAD;TITLE;TR;TT;U;UL;VAR;WBR;XMP");
    EXPECT_EQ(HtmlToText(u8s("x<") + whole + u8s(" id=1>y")), u8s("xy"));
    EXPECT_EQ(HtmlToText(u8s("x<") + whole + u8s(";B>y")), u8s("x<") + whole + u8s(";B>y"));
}
