#pragma once
// The replay reader's own byte cursor, shared by its parts (header and opening
// records in replayfile.cpp, the game walk in replaygame.cpp).
#include <QByteArrayView>
#include <QtEndian>

// Reads little-endian values from a byte range; any read past the end sets
// `failed` and yields zeros, so a parse can run to its end and check once.
class ReplayCursor {
public:
    explicit ReplayCursor(QByteArrayView data) : m_data(data) {}
    bool failed() const { return m_failed; }
    qsizetype pos() const { return m_pos; }
    qsizetype left() const { return m_failed ? 0 : m_data.size() - m_pos; }
    QByteArrayView rest() const { return m_data.sliced(qMin(m_pos, m_data.size())); }
    bool take(qsizetype n, QByteArrayView *out = nullptr)
    {
        if (m_failed || n < 0 || n > left()) {
            m_failed = true;
            return false;
        }
        if (out)
            *out = m_data.sliced(m_pos, n);
        m_pos += n;
        return true;
    }
    quint8 u8()
    {
        QByteArrayView v;
        return take(1, &v) ? quint8(v[0]) : 0;
    }
    quint16 u16()
    {
        QByteArrayView v;
        return take(2, &v) ? qFromLittleEndian<quint16>(v.data()) : 0;
    }
    quint32 u32()
    {
        QByteArrayView v;
        return take(4, &v) ? qFromLittleEndian<quint32>(v.data()) : 0;
    }
    int peek() const { return (!m_failed && left() > 0) ? quint8(m_data[m_pos]) : -1; }
    // The bytes up to the next NUL, which is passed over; fails without a NUL.
    QByteArrayView cString()
    {
        if (m_failed)
            return {};
        const qsizetype end = m_data.indexOf('\0', m_pos);
        if (end < 0) {
            m_failed = true;
            return {};
        }
        const QByteArrayView s = m_data.sliced(m_pos, end - m_pos);
        m_pos = end + 1;
        return s;
    }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
    bool m_failed = false;
};
