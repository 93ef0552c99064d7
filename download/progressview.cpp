#include "download/progressview.h"

#include "download/playback.h"

#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextCursor>
#include <QTextDocument>

#include <climits>

namespace {
// The progress line takes the place of the box's text within its document: a
// new document for every 1 KiB chunk (setPlainText) would cost more than the
// transfer itself. The box is read-only, so it keeps no undo steps.
void ShowProgressLine(QPlainTextEdit *box, const QString &text)
{
    QTextDocument *document = box->document();
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    cursor.setPosition(0);  // by position: select(Document) would lay the old text out first
    cursor.setPosition(document->characterCount() - 1, QTextCursor::KeepAnchor);
    cursor.insertText(text);
    cursor.endEditBlock();
}

int BarValue(qint64 bytes) { return int(qMin<qint64>(bytes, INT_MAX)); }
} // namespace

ProgressView::ProgressView(QProgressBar *bar, QPlainTextEdit *box, QObject *parent)
    : QObject(parent), m_bar(bar), m_box(box)
{
    m_frame.setSingleShot(true);
    m_frame.setInterval(kFrameMs);
    connect(&m_frame, &QTimer::timeout, this, [this] { settle(); });
    if (box)
        connect(box->document(), &QTextDocument::contentsChanged, this, [this] { m_boxChanged = true; });
}

ProgressView::~ProgressView()
{
    settle();
}

void ProgressView::start(qint64 announced)
{
    m_written = 0;
    m_announced = announced;
    // A length of 0 keeps a range of its own: (0, 0) is the busy bar.
    if (m_bar && announced >= 0)
        m_bar->setRange(0, qMax(1, BarValue(announced)));
    hold();
    put(true);
    m_started = true;
}

void ProgressView::step(qint64 written, qint64 announced)
{
    m_written = written;
    m_announced = announced;
    const bool last = announced >= 0 && written >= announced;
    const bool first = !m_holding || m_started;
    m_started = false;
    if (first || last || m_boxChanged) {
        hold();
        put(true);
        return;
    }
    m_pending = true;
    // The frame's end is also seen here: under a stream of chunks the frame
    // timer's tick may come late.
    if (m_frameClock.hasExpired(kFrameMs))
        settle();
}

void ProgressView::settle()
{
    letGo(true);
}

// The frame ends: the newest value goes in and the held painting is let go, now
// or with whatever changes next.
void ProgressView::letGo(bool paintNow)
{
    m_frame.stop();
    if (m_pending)
        put(!m_boxChanged);
    if (!m_holding)
        return;
    m_holding = false;
    if (m_bar) {
        m_bar->setUpdatesEnabled(true);
        if (paintNow)
            m_bar->repaint();
    }
    if (m_box) {
        m_box->viewport()->setUpdatesEnabled(true);
        if (paintNow)
            m_box->viewport()->repaint();
    }
}

// The bar and box paint with whatever the end of the download changes next, in
// one go.
void ProgressView::end(bool ok)
{
    letGo(false);
    m_started = false;
    if (!m_bar)
        return;
    const int maximum = m_bar->maximum() > 0 ? m_bar->maximum() : qMax(1, BarValue(m_written));
    m_bar->setRange(0, maximum);
    m_bar->setValue(ok ? maximum : 0);
}

void ProgressView::hold()
{
    if (m_holding || !m_bar || !m_box)
        return;
    m_holding = true;
    m_frameClock.start();
    m_bar->setUpdatesEnabled(false);
    m_box->viewport()->setUpdatesEnabled(false);
    m_frame.start();
}

// The text only when it is newer than what the box shows. The text goes first,
// so whoever watches the bar move finds the box already saying the same.
void ProgressView::put(bool text)
{
    m_pending = false;
    if (m_box && text) {
        ShowProgressLine(m_box, m_announced < 0 ? ProgressTextWithoutLength(m_written)
                                 : m_written == 0 ? ProgressStartText(m_announced)
                                                  : ProgressText(m_written, m_announced));
        m_boxChanged = false;
    }
    if (!m_bar)
        return;
    if (m_announced < 0)
        m_bar->setRange(0, 0);  // no length: the bar only shows that data flows
    else
        m_bar->setValue(BarValue(m_written));
}
