#pragma once
// Shared by the fuzz targets: turning libFuzzer's bytes into the texts and byte
// arrays the parsers take, and a check that stops the run on a broken promise.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Pages reach the parsers as decoded text; UTF-8 lets the seeds stay readable.
inline QString FuzzText(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

// The same bytes as raw 16-bit code units: lone surrogates and every other unit
// that UTF-8 decoding would never give.
inline QString FuzzUnits(const uint8_t *data, size_t size)
{
    return QString(reinterpret_cast<const QChar *>(data), qsizetype(size / 2));
}

// `count` parts of the text, split at U+0001 (a character no page holds); parts
// that are not there are empty, the last part takes the rest.
inline QStringList FuzzParts(const QString &text, int count)
{
    QStringList parts;
    qsizetype from = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype at = i + 1 < count ? text.indexOf(QChar(1), from) : -1;
        if (from > text.size()) {
            parts.append(QString());
        } else if (at < 0) {
            parts.append(text.mid(from));
            from = text.size() + 1;
        } else {
            parts.append(text.mid(from, at - from));
            from = at + 1;
        }
    }
    return parts;
}

// Without copying, so that AddressSanitizer sees the exact end of the input.
inline QByteArray FuzzBytes(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

#define FUZZ_CHECK(cond)                                                          \
    do {                                                                          \
        if (!(cond)) {                                                            \
            std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                         \
        }                                                                         \
    } while (0)
