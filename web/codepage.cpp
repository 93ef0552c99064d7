#include "web/codepage.h"

#include <QStringDecoder>
#include <QTextCodec>

namespace codepage {
namespace {
QTextCodec *gbk()
{
    static QTextCodec *codec = QTextCodec::codecForName("GBK");
    return codec;
}
bool isGbkName(const QByteArray &n)
{
    const QByteArray l = n.toLower();
    return l == "gbk" || l == "gb2312" || l == "cp936" || l == "windows-936" || l == "ms936"
        || l == "gb18030";
}
} // namespace

std::optional<QByteArray> toNarrow(const QString &text)
{
    QTextCodec *codec = gbk();
    if (!codec)
        return std::nullopt;
    QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
    const QByteArray out = codec->fromUnicode(text.constData(), int(text.size()), &state);
    if (state.invalidChars > 0)
        return std::nullopt;
    // GBK holds nothing outside the BMP; a four-byte GB18030 sequence means the
    // converter went past code page 936.
    for (QChar c : text)
        if (c.isSurrogate())
            return std::nullopt;
    return out;
}

std::optional<QChar> doubleByteChar(unsigned code)
{
    const unsigned hi = (code >> 8) & 0xFF, lo = code & 0xFF;
    // Lead bytes 0x81..0xFE, trail bytes 0x40..0xFE without 0x7F.
    if (hi < 0x81 || hi > 0xFE || lo < 0x40 || lo > 0xFE || lo == 0x7F)
        return std::nullopt;
    QTextCodec *codec = gbk();
    if (!codec)
        return std::nullopt;
    const char bytes[2] = {char(hi), char(lo)};
    QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
    const QString s = codec->toUnicode(bytes, 2, &state);
    if (state.invalidChars > 0 || s.size() != 1 || s.at(0) == QChar(0xFFFD) || s.at(0).isNull())
        return std::nullopt;
    return s.at(0);
}

QString bytesToText(const QByteArray &bytes, const QString &charset)
{
    const QByteArray name = charset.trimmed().toLatin1();
    if (isGbkName(name)) {
        if (QTextCodec *codec = gbk())
            return codec->toUnicode(bytes);
    }
    QStringDecoder decoder(name.constData(), QStringDecoder::Flag::Stateless);
    if (decoder.isValid())
        return decoder.decode(bytes);
    if (QTextCodec *codec = QTextCodec::codecForName(name))
        return codec->toUnicode(bytes);
    return QString();
}

QByteArray percentEncodeAll(const QByteArray &bytes)
{
    return bytes.toPercentEncoding();
}

} // namespace codepage
