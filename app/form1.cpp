// Start-up and shut-down of the main window.
#include "app/form1.h"

#include "app/layoutmath.h"
#include "app/splitterbar.h"
#include "app/webpane.h"
#include "details/detailpane.h"
#include "download/downloadsequence.h"
#include "platform/skin.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QQuickWidget>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineSettings>

namespace {
// The panes are blank at start-up, and starting the web engine takes longer than
// everything else the window does: the window is painted first and the engine
// starts right after. A window not shown (or never painted) starts it on the
// first turn of the event loop, or a little later.
class PaneStarter final : public QObject {
public:
    PaneStarter(QWidget *window, const QList<WebPane *> &panes) : QObject(window), m_window(window)
    {
        for (WebPane *pane : panes)
            m_panes.append(pane);
        window->installEventFilter(this);
        QTimer::singleShot(0, this, [this] {
            if (!m_window->isVisible())
                start();
        });
        QTimer::singleShot(kLatestStartMs, this, &PaneStarter::start);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Paint && !m_due) {
            m_due = true;
            QTimer::singleShot(0, this, &PaneStarter::start);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static constexpr int kLatestStartMs = 500;
    void start()
    {
        m_window->removeEventFilter(this);
        for (const QPointer<WebPane> &pane : std::as_const(m_panes))
            if (pane)
                pane->StartEngine();
        deleteLater();
    }
    QWidget *m_window;
    QList<QPointer<WebPane>> m_panes;
    bool m_due = false;
};

void startPanesAfterFirstPaint(QWidget *window, const QList<WebPane *> &panes)
{
    new PaneStarter(window, panes);
}

// The panes draw through surfaces that the window composes on the graphics card.
// A window first shown without such a surface gets its native window destroyed
// and made anew when the first pane's surface arrives: the user sees the window
// blink (mapped, unmapped, mapped again). A hidden surface of the same kind,
// there before the first show, makes the window composed so from the start.
void composeLikeThePanes(QWidget *window)
{
    auto *surface = new QQuickWidget(window);
    surface->setObjectName(QStringLiteral("PaneSurfaceKind"));
    surface->hide();
}
} // namespace

static void initWindowResources()
{
    Q_INIT_RESOURCE(resources);  // pictures, skin and template live in a static library
}

Form1::Form1(const SiteRoots &roots, PageFiles *pages, const Platform &platform, QWidget *parent)
    : QMainWindow(parent), m_roots(roots), m_pages(pages), m_platform(platform)
{
    initWindowResources();
    setObjectName(QStringLiteral("Form1"));
    buildControls();
    buildMenus();
    m_details = std::make_unique<DetailPane>(*this);
    composeLikeThePanes(this);

    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    connect(Timer3, &QTimer::timeout, this, &Form1::Timer3_Timer);
    connect(Timer4, &QTimer::timeout, this, &Form1::Timer4_Timer);
    connect(WebBrowser1, &WebPane::DocumentComplete, this, &Form1::WebBrowser1_DocumentComplete);
    connect(Picture7, &SplitterBar::Dropped, this, &Form1::SplitterDropped);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    BindDownload();
    // clicked: a user's choice only, never the program setting the option.
    connect(Option1, &QRadioButton::clicked, this, &Form1::Option1_Click);
    connect(Option2, &QRadioButton::clicked, this, &Form1::Option2_Click);
    connect(Text10, &QLineEdit::textChanged, this, &Form1::Text10_Change);
    watchScrolling();
    // A row is chosen by a click, or by the keys that move the current row.
    connect(ListView1, &QTreeWidget::itemClicked, this, [this] { ListView1_ItemClick(); });
    connect(ListView1, &QTreeWidget::currentItemChanged, this, [this] {
        if (m_keyChoosing)
            ListView1_ItemClick();
    });

    // Client area of 15240 x 8640 twips, centred on the screen.
    resize(Px(15240), Px(8640) + menuBar()->sizeHint().height());
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect r = geometry();
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }

    Form_Load();
}

Form1::~Form1() = default;

void Form1::Form_Load()
{
    SkinH_Attach();  // without a skin the window keeps the platform's look

    struct Column {
        const char *key;
        const char *header;
        int width;
    };
    static const Column columns[] = {
        {"id", "热度", 1000}, {"name", "种族", 2000}, {"do", "玩家 VS 玩家", 6000}, {"Said", "地图", 2000}, {"Stat", "时间", 2500}};
    ListView1->setColumnCount(5);
    QTreeWidgetItem *header = ListView1->headerItem();
    for (int i = 0; i < 5; ++i) {
        header->setText(i, QString::fromUtf8(columns[i].header));
        header->setData(i, Qt::UserRole, QString::fromLatin1(columns[i].key));
        ListView1->setColumnWidth(i, Px(columns[i].width));
    }

    PageNumber = 1;

    WebBrowser1->SetBaseUrl(QUrl(m_roots.melee + QLatin1Char('/')));
    WebBrowser2->SetBaseUrl(QUrl(m_roots.dota + QLatin1Char('/')));
    WebBrowser1->SetScrollBars(false);
    WebBrowser2->SetSilent(true);
    WebBrowser1->Navigate(QStringLiteral("about:blank"));
    WebBrowser2->Navigate(QStringLiteral("about:blank"));
    WebBrowser2->SetSilent(true);
    WebBrowser1->SetSilent(true);
    WebBrowser1->WriteDocument(BoxText(Text13));
    WebBrowser2->hide();

    setWindowTitle(windowTitle() + kProgramVersionText);

    Timer2->start();
    Timer4->start();
    startPanesAfterFirstPaint(this, {WebBrowser1, WebBrowser2});
}

void Form1::WebBrowser1_DocumentComplete()
{
    // The minimap pane never shows scroll bars.
    WebBrowser1->page()->runJavaScript(QStringLiteral(
        "if (document.body) { document.body.setAttribute('scroll', 'no'); document.body.style.overflow = 'hidden'; }"));
}

void Form1::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_pages->RemovePageFiles();
}

void Form1::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    Download->cancel();  // a running transfer's temporary file goes; nothing is reported after close
    for (QTimer *t : {Timer1, Timer2, Timer3, Timer4})
        t->stop();
    QMainWindow::closeEvent(event);
}

QString Form1::BoxText(const QPlainTextEdit *box)
{
    QString text = box->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}
