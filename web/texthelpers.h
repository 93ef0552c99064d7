#pragma once
// The three text functions every page parser is built on. All are pure:
// no state, no files, no network; texts are sequences of 16-bit code units.
#include <QString>
#include <QStringView>

// The text between the first occurrence of `lside` and the first `rside` that
// starts at or behind that occurrence (searched from the start of `lside`, so an
// `rside` lying inside `lside` gives an empty result). Empty when a marker is
// missing; an empty `lside` matches at the very start, an empty `rside` never.
QString find(const QString &neir, const QString &lside, const QString &rside);
// The same text as `find`, as a view into `neir` instead of a copy; null where
// `find` gives a null text.
QStringView findView(QStringView neir, QStringView lside, QStringView rside);

// Percent-decoding of a download URL or file name: "%XX" up to 7F is that ASCII
// character, a lead byte above 7F together with the following escape is one
// code-page-936 character. "+" stays. Escapes that cannot be decoded are copied
// through unchanged. The result may hold "/", "\\", ".." or NUL; whoever builds
// a file path from it must check the name.
QString URLDecode(const QString &strURL);

// Plain text of an HTML fragment: removes the known tags (and the whole element
// of script-like tags), keeps everything else as it stands, turns "&nbsp" into a
// blank. Linear in the length of the input.
QString HtmlToText(const QString &text);

// Removes blanks (U+0020 only) at both ends; tabs and line breaks stay.
QString TrimBlanks(const QString &s);

// What a list cell shows of a text from a page or a file: at most 256 characters,
// the cut marked with "…", so one huge cell cannot freeze the list's painting.
QString ListCellText(const QString &text);
