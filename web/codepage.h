#pragma once
// The Chinese double-byte code page (936 / GBK) that the replay sites use for
// escapes in file names and that search keywords travel in.
#include <QByteArray>
#include <QString>
#include <optional>

namespace codepage {

// The code-page-936 bytes of a text; nullopt when a character has no place in it
// (such a text must not go out with "?" in place of the character).
std::optional<QByteArray> toNarrow(const QString &text);

// The one character whose two-byte code is `code` (high byte first);
// nullopt when the pair is no character of the code page.
std::optional<QChar> doubleByteChar(unsigned code);

// Decodes bytes in a charset named by a caller ("utf-8", "UTF-8", "GBK", "gb2312", "cp936" ...).
// An unknown charset or undecodable bytes give what the decoder makes of them; never fails.
QString bytesToText(const QByteArray &bytes, const QString &charset);

// Percent-encodes every byte that is not an unreserved URL character.
QByteArray percentEncodeAll(const QByteArray &bytes);

} // namespace codepage
