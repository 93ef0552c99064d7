// The window design: every control with its place, caption and first state,
// the menu tree and the columns of the replay list.
#include "app/form1.h"

#include "app/layoutmath.h"
#include "app/splitterbar.h"
#include "app/webpane.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMovie>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>
#include <QHelpEvent>
#include <QTreeWidget>

namespace {
template <typename W>
W *make(QWidget *parent, const char *name, int left, int top, int width, int height)
{
    auto *w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(Px(left), Px(top), Px(width), Px(height));
    return w;
}

QLabel *label(QWidget *parent, const char *name, const QString &caption, int l, int t, int w, int h)
{
    auto *lab = make<QLabel>(parent, name, l, t, w, h);
    lab->setTextFormat(Qt::PlainText);
    lab->setText(caption);
    return lab;
}

QLineEdit *readOnlyBox(QWidget *parent, const char *name, int l, int t, int w, int h)
{
    auto *box = make<QLineEdit>(parent, name, l, t, w, h);
    box->setReadOnly(true);
    box->setStyleSheet(QStringLiteral("background-color: #E0E0E0;"));
    return box;
}

QTimer *timer(QObject *parent, const char *name, int interval)
{
    auto *t = new QTimer(parent);
    t->setObjectName(QLatin1String(name));
    t->setInterval(interval);
    return t;
}

QFont simSun(double points)
{
    QFont f;
    // Where SimSun is missing, the system's Chinese fonts stand in for it.
    f.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("NSimSun"),
                   QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                   QStringLiteral("Noto Serif CJK SC")});
    f.setPointSizeF(points);
    return f;
}

QString resourceText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

// Multi-line boxes hold their lines with CR LF; the editor keeps plain line feeds.
void setBoxText(QPlainTextEdit *box, QString text)
{
    box->setPlainText(text.remove(QLatin1Char('\r')));
}

QLabel *emblemSource(QWidget *parent, const char *name, const QString &picture)
{
    auto *pic = new QLabel(parent);
    pic->setObjectName(QLatin1String(name));
    pic->setPixmap(QPixmap(picture));
    pic->resize(50, 56);
    return pic;
}

// A cell whose text does not fit in what the list shows of it (cut short with
// "…", or reaching past the list's right edge, as in the narrow DotA layout)
// shows its whole text as a tip.
class CellTipDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override
    {
        if (event->type() != QEvent::ToolTip || !index.isValid())
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QStyle *style = view->style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, view)
                               .adjusted(margin, 0, -margin, 0)
                               .intersected(view->viewport()->rect());
        if (!cell.text.isEmpty() && cell.fontMetrics.horizontalAdvance(cell.text) > room.width()) {
            QToolTip::showText(event->globalPos(), cell.text, view->viewport(), option.rect);
            return true;
        }
        QToolTip::hideText();
        return true;
    }
};

// Paints the current frame of the row's animated picture (its number, 1 or 2,
// is kept in the first cell's Qt::UserRole).
class RowIconDelegate final : public CellTipDelegate {
public:
    RowIconDelegate(QList<QMovie *> pictures, QObject *parent) : CellTipDelegate(parent), m_pictures(std::move(pictures)) {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        CellTipDelegate::initStyleOption(option, index);
        const int picture = index.data(Qt::UserRole).toInt();
        if (picture >= 1 && picture <= m_pictures.size()) {
            option->icon = QIcon(m_pictures.at(picture - 1)->currentPixmap());
            option->features |= QStyleOptionViewItem::HasDecoration;
            option->decorationSize = QSize(20, 20);
        }
    }

private:
    QList<QMovie *> m_pictures;
};

const QString kMinimapScript = QStringLiteral(
    "<script language=\"JavaScript\">\r\n"
    "document.oncontextmenu=new Function(\"event.returnValue=false;\");\r\n"
    "document.onselectstart=new Function(\"event.returnValue=false;\");\r\n"
    "</script>\r\n");

const QString kSearchHelp = QStringLiteral(
    "搜索关键说明： \r\n"
    "可输入多个玩家ID或战队名称。\r\n"
    "可输入UD，HM，NE，ORC进行使用种族匹配（必须大写）。\r\n"
    "结束位置可添加 at LostTemple进行地图匹配。\r\n"
    "目前支持简写地图名称为：lt，tr，tm，sv，ei。\r\n"
    "在选手，英雄，战队等搜索关键字后加win或者lose，可搜索该关键字相关的胜负录像。\r\n"
    "如搜索不到录像，可换用其他关键字，或从“对战录像”、“DOTA”菜单按类别浏览，谢谢使用。\r\n"
    "范例1：Sky 人皇 WE UD at ei\r\n"
    "范例2：Moon win 4Kings at TerenasStand\r\n");
} // namespace

void Form1::buildControls()
{
    setWindowTitle(kDesignCaption);
    setWindowIcon(QIcon(QStringLiteral(":/pictures/quillmark.ico")));
    m_surface = new QWidget(this);
    m_surface->setObjectName(QStringLiteral("Form1Surface"));
    m_surface->setAcceptDrops(false);
    setCentralWidget(m_surface);
    QWidget *s = m_surface;

    // Top level, in creation order.
    Picture7 = make<SplitterBar>(s, "Picture7", 6120, 0, 50, 5055);
    Picture7->hide();
    WebBrowser2 = make<WebPane>(s, "WebBrowser2", 6120, 0, 9135, 5130);
    Timer3 = timer(this, "Timer3", 1000);
    Frame3 = make<QFrame>(s, "Frame3", 0, 4800, 15255, 375);
    Frame3->setFrameShape(QFrame::Box);
    Frame3->setAutoFillBackground(true);
    Frame3->hide();
    Label15 = label(Frame3, "Label15", kPagingBannerText, 6240, 120, 2415, 255);
    Timer2 = timer(this, "Timer2", 1000);
    Inet1 = new QObject(this);
    Inet1->setObjectName(QStringLiteral("Inet1"));
    Frame2 = make<QGroupBox>(s, "Frame2", 480, 1560, 5655, 2295);
    Frame2->setTitle(QStringLiteral("Frame2"));
    Frame2->hide();
    Frame1 = make<QFrame>(s, "Frame1", 0, 5160, 15255, 3495);
    ListView1 = make<QTreeWidget>(s, "ListView1", 0, 0, 15275, 5175);
    ListView1->setFont(simSun(11.25));

    // Hidden working fields.
    Text8 = make<QLineEdit>(Frame2, "Text8", 1200, 240, 3000, 270);
    Text9 = make<QLineEdit>(Frame2, "Text9", 1200, 600, 3000, 270);
    Dota_css = make<QPlainTextEdit>(Frame2, "Dota_css", 120, 960, 2000, 600);
    setBoxText(Dota_css, resourceText(QStringLiteral(":/templates/dota_css.html")));
    List1 = make<QListWidget>(Frame2, "List1", 2200, 960, 1500, 600);
    List1->hide();
    Text13 = make<QPlainTextEdit>(Frame2, "Text13", 3800, 960, 1500, 600);
    setBoxText(Text13, kMinimapScript);
    Timer4 = timer(Frame2, "Timer4", 1000);
    Text11 = make<QPlainTextEdit>(Frame2, "Text11", 120, 1600, 2000, 600);
    setBoxText(Text11, kSearchHelp);
    Text1 = make<QLineEdit>(Frame2, "Text1", 2200, 1600, 3000, 270);
    Picture1 = emblemSource(Frame2, "Picture1", QStringLiteral(":/pictures/human.gif"));
    Picture2 = emblemSource(Frame2, "Picture2", QStringLiteral(":/pictures/nightelf.gif"));
    Picture3 = emblemSource(Frame2, "Picture3", QStringLiteral(":/pictures/orc.gif"));
    Picture4 = emblemSource(Frame2, "Picture4", QStringLiteral(":/pictures/undead.gif"));
    Label7 = label(Frame2, "Label7", QStringLiteral("录像网址"), 120, 240, 1000, 255);
    Label8 = label(Frame2, "Label8", QStringLiteral("地图路径"), 120, 600, 1000, 255);

    // The detail area.
    Frame4 = make<QGroupBox>(Frame1, "Frame4", 2970, 120, 4815, 2835);
    Frame4->setTitle(QStringLiteral("录像信息"));
    Command1 = make<QPushButton>(Frame1, "Command1", 13590, 2520, 1575, 495);
    Command1->setText(QStringLiteral("下载"));
    Command1->setEnabled(false);
    Command3 = make<QPushButton>(Frame1, "Command3", 13590, 2040, 1575, 495);
    Command3->setText(QStringLiteral("播放录像"));
    Picture6 = make<QLabel>(Frame1, "Picture6", 11040, 2040, 735, 855);
    Picture5 = make<QLabel>(Frame1, "Picture5", 7800, 2040, 735, 855);
    ProgressBar1 = make<QProgressBar>(Frame1, "ProgressBar1", 0, 3120, 15255, 375);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    Timer1 = timer(Frame1, "Timer1", 10);
    CommonDialog1 = new QObject(Frame1);
    CommonDialog1->setObjectName(QStringLiteral("CommonDialog1"));
    Text6 = make<QPlainTextEdit>(Frame1, "Text6", 7800, 240, 7375, 1695);
    Text6->setReadOnly(true);
    Text6->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text6->setFont(simSun(10.5));
    WebBrowser1 = make<WebPane>(Frame1, "WebBrowser1", 120, 240, 2860, 2700);
    Label1 = make<QLabel>(Frame1, "Label1", 8640, 2040, 1455, 255);
    Label10 = make<QLabel>(Frame1, "Label10", 8640, 2400, 1455, 255);
    Label11 = make<QLabel>(Frame1, "Label11", 8640, 2760, 1455, 255);
    Label12 = make<QLabel>(Frame1, "Label12", 11880, 2040, 1455, 255);
    Label13 = make<QLabel>(Frame1, "Label13", 11880, 2400, 1455, 255);
    Label14 = make<QLabel>(Frame1, "Label14", 11880, 2760, 1455, 255);
    for (QLabel *name : {Label1, Label10, Label11, Label12, Label13, Label14})
        name->setTextFormat(Qt::PlainText);  // player names come from the web

    // The replay information box.
    Label2 = label(Frame4, "Label2", QStringLiteral("使用地图"), 120, 210, 735, 255);
    Text2 = readOnlyBox(Frame4, "Text2", 960, 180, 3735, 270);
    Label4 = label(Frame4, "Label4", QStringLiteral("游戏时间"), 120, 540, 735, 255);
    Text3 = readOnlyBox(Frame4, "Text3", 960, 510, 3735, 270);
    Label5 = label(Frame4, "Label5", QStringLiteral("游戏人数"), 120, 900, 735, 255);
    Text4 = readOnlyBox(Frame4, "Text4", 960, 870, 3735, 270);
    Label6 = label(Frame4, "Label6", QStringLiteral("录像版本"), 120, 1260, 735, 255);
    Text5 = readOnlyBox(Frame4, "Text5", 960, 1230, 1335, 270);
    Label16 = label(Frame4, "Label16", QStringLiteral("游戏版本"), 2670, 1260, 735, 255);
    Text12 = readOnlyBox(Frame4, "Text12", 3480, 1230, 1215, 270);
    Label3 = label(Frame4, "Label3", QStringLiteral("魔兽位置"), 120, 1590, 855, 255);
    Text7 = readOnlyBox(Frame4, "Text7", 960, 1590, 2655, 270);
    Command2 = make<QPushButton>(Frame4, "Command2", 3720, 1590, 975, 285);
    Command2->setText(QStringLiteral("设置魔兽"));
    Label9 = label(Frame4, "Label9", QStringLiteral("地图位置"), 120, 1980, 735, 255);
    Text10 = readOnlyBox(Frame4, "Text10", 960, 1950, 3735, 270);
    Label17 = label(Frame4, "Label17", QStringLiteral("该地图需要下载"), 3240, 2310, 1260, 180);
    Label17->hide();
    Option1 = make<QRadioButton>(Frame4, "Option1", 120, 2280, 1785, 255);
    Option1->setText(QStringLiteral("智能检测下载"));
    Option1->setChecked(true);
    Option2 = make<QRadioButton>(Frame4, "Option2", 2040, 2280, 1095, 255);
    Option2->setText(QStringLiteral("覆盖下载"));
    Check1 = make<QCheckBox>(Frame4, "Check1", 150, 2580, 2295, 200);
    Check1->setText(QStringLiteral("下载完马上播放录像"));

    // The crowns are animated; the list's icon delegate paints their current frame.
    // Both step on one clock of their own, slower than the pictures' own rate:
    // each step repaints the first cells of the rows in view that show a crown,
    // and on an X server every repaint composes the whole window, its web panes
    // included, so the pictures' rate would keep an idle window busy.
    for (const char *picture : {":/pictures/crown_gold.gif", ":/pictures/crown_silver.gif"}) {
        auto *movie = new QMovie(QLatin1String(picture), QByteArray(), this);
        movie->setCacheMode(QMovie::CacheAll);
        movie->jumpToFrame(0);
        ImageList1.append(movie);
    }
    m_crownClock = new QTimer(this);
    m_crownClock->setInterval(kCrownStepMs);
    connect(m_crownClock, &QTimer::timeout, this, &Form1::StepCrowns);
    m_crownClock->start();
    ListView1->setItemDelegate(new CellTipDelegate(ListView1));
    ListView1->setItemDelegateForColumn(0, new RowIconDelegate(ImageList1, ListView1));

    // Later controls are drawn on top in Qt; the bar, the DotA pane and the
    // banner lie over the list.
    WebBrowser2->raise();
    Picture7->raise();
    Frame3->raise();

    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setIconSize(QSize(20, 20));
    // The scroll position counts rows scrolled out above the view.
    ListView1->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    ListView1->header()->setStretchLastSection(false);
    ListView1->setColumnCount(0);
}

QAction *Form1::menuCommand(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

void Form1::buildMenus()
{
    QMenuBar *bar = menuBar();
    auto submenu = [](QWidget *parent, const char *name, const QString &caption) {
        auto *m = new QMenu(caption, parent);
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name));
        return m;
    };

    QMenu *War = submenu(bar, "War", QStringLiteral("对战录像"));
    bar->addMenu(War);
    connect(menuCommand(War, "all", QStringLiteral("最新录像 ")), &QAction::triggered, this, &Form1::all_Click);

    struct Matchup {
        const char *name;
        const char *caption;
        void (Form1::*handler)();
    };
    struct RaceMenu {
        const char *name;
        const char *caption;
        Matchup items[4];
    };
    static const RaceMenu raceMenus[] = {
        {"ren", " 人  族  ", {{"rvr", "人族 VS 人族", &Form1::rvr_Click}, {"fasd", "人族 VS 暗夜精灵", &Form1::fasd_Click},
                              {"awe", "人族 VS 兽族", &Form1::awe_Click}, {"asdc", "人族 VS 不死", &Form1::asdc_Click}}},
        {"nig", "暗夜精灵 ", {{"vvz", "暗夜精灵 VS 暗夜精灵", &Form1::vvz_Click}, {"asdss", "暗夜精灵 VS 人族", &Form1::asdss_Click},
                             {"asd23", "暗夜精灵 VS 兽族", &Form1::asd23_Click}, {"zxc", "暗夜精灵 VS 不死", &Form1::zxc_Click}}},
        {"orc", " 兽  族  ", {{"qwebb", "兽族 VS 兽族", &Form1::qwebb_Click}, {"vxcvx", "兽族 VS 人族", &Form1::vxcvx_Click},
                              {"asdasdee", "兽族 VS 暗夜精灵", &Form1::asdasdee_Click}, {"xcvzxc", "兽族 VS 不死", &Form1::xcvzxc_Click}}},
        {"ud", " 不  死  ", {{"ffasd", "不死 VS 不死", &Form1::ffasd_Click}, {"asdasd", "不死 VS 人族", &Form1::asdasd_Click},
                             {"qwe", "不死 VS 兽族", &Form1::qwe_Click}, {"asd", "不死 VS 暗夜精灵", &Form1::asd_Click}}},
    };
    for (const RaceMenu &race : raceMenus) {
        QMenu *sub = submenu(War, race.name, QString::fromUtf8(race.caption));
        War->addMenu(sub);
        for (const Matchup &m : race.items)
            connect(menuCommand(sub, m.name, QString::fromUtf8(m.caption)), &QAction::triggered, this, m.handler);
    }
    connect(menuCommand(War, "search", QStringLiteral("搜索录像 ")), &QAction::triggered, this, &Form1::search_Click);

    QMenu *dota = submenu(bar, "dota", QStringLiteral("DOTA"));
    bar->addMenu(dota);
    connect(menuCommand(dota, "dotanew", QStringLiteral("最新录像")), &QAction::triggered, this, &Form1::dotanew_Click);
    QMenu *ser = submenu(dota, "ser", QStringLiteral("搜索"));
    dota->addMenu(ser);
    connect(menuCommand(ser, "zd", QStringLiteral("战队")), &QAction::triggered, this, &Form1::zd_Click);
    connect(menuCommand(ser, "sxdasd", QStringLiteral("选手")), &QAction::triggered, this, &Form1::sxdasd_Click);
    connect(menuCommand(ser, "sais", QStringLiteral("赛事")), &QAction::triggered, this, &Form1::sais_Click);

    QMenu *local = submenu(bar, "local", QStringLiteral("本地录像"));
    bar->addMenu(local);
    connect(menuCommand(local, "localreplays", QStringLiteral("已下载录像")), &QAction::triggered, this,
            &Form1::localreplays_Click);
    connect(menuCommand(local, "localsearch", QStringLiteral("搜索本地录像")), &QAction::triggered, this,
            &Form1::localsearch_Click);
    QAction *autosave = menuCommand(local, "autosave", QStringLiteral("自动保存最近录像"));
    autosave->setCheckable(true);  // off until the settings file says otherwise
    connect(autosave, &QAction::triggered, this, &Form1::autosave_Click);
}

void Form1::StepCrowns()
{
    QWidget *view = ListView1->viewport();
    QRegion cells;
    for (QTreeWidgetItem *item = ListView1->itemAt(0, 0); item; item = ListView1->itemBelow(item)) {
        const QRect cell = ListView1->visualRect(ListView1->indexFromItem(item, 0));
        if (cell.top() > view->height())
            break;
        if (item->data(0, Qt::UserRole).toInt() > 0)
            cells += cell;
    }
    if (cells.isEmpty())
        return;  // no crown in view: nothing moves, nothing is painted
    for (QMovie *movie : std::as_const(ImageList1)) {
        const int next = movie->currentFrameNumber() + 1;
        if (next >= movie->frameCount() || !movie->jumpToFrame(next))
            movie->jumpToFrame(0);  // round again
    }
    view->update(cells);
}
