#pragma once
// The main window. Its controls keep the names of the window design, and each
// behaviour lives in the event procedure named after its control and event.
#include "platform/platform.h"
#include "web/pagefiles.h"
#include "web/siteconfig.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QTime>

#include <functional>
#include <memory>

class QAction;
class QPoint;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMovie;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QTreeWidget;
class WebPane;
class SplitterBar;
class LocalLibrary;
struct ListEdit;
class DetailPane;
class DownloadSequence;
class ProgressView;
struct LocalReads;
struct LocalReplayView;

inline const QString kDesignCaption = QStringLiteral("Quillmark 【Warcraft III】");
inline const QString kProgramVersionText = QStringLiteral("1.4");
constexpr double ProgramVersion = 1.4;
// The loading banner's text while paging (the local list shows its status there).
inline const QString kPagingBannerText = QStringLiteral("正在读取下一页 》》》");

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    Form1(const SiteRoots &roots, PageFiles *pages, const Platform &platform, QWidget *parent = nullptr);
    ~Form1() override;

    // ---- controls (names of the window design) ----
    SplitterBar *Picture7 = nullptr;
    WebPane *WebBrowser2 = nullptr;
    QTimer *Timer3 = nullptr;
    QFrame *Frame3 = nullptr;
    QLabel *Label15 = nullptr;
    QTimer *Timer2 = nullptr;
    QObject *Inet1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QLineEdit *Text8 = nullptr, *Text9 = nullptr;
    QPlainTextEdit *Dota_css = nullptr;
    QListWidget *List1 = nullptr;
    QPlainTextEdit *Text13 = nullptr;
    QTimer *Timer4 = nullptr;
    QPlainTextEdit *Text11 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLabel *Picture1 = nullptr, *Picture2 = nullptr, *Picture3 = nullptr, *Picture4 = nullptr;
    QLabel *Label7 = nullptr, *Label8 = nullptr;
    QFrame *Frame1 = nullptr;
    QGroupBox *Frame4 = nullptr;
    QPushButton *Command1 = nullptr, *Command3 = nullptr, *Command2 = nullptr;
    QLabel *Picture6 = nullptr, *Picture5 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QTimer *Timer1 = nullptr;
    QObject *CommonDialog1 = nullptr;
    QPlainTextEdit *Text6 = nullptr;
    WebPane *WebBrowser1 = nullptr;
    QLabel *Label1 = nullptr, *Label10 = nullptr, *Label11 = nullptr;
    QLabel *Label12 = nullptr, *Label13 = nullptr, *Label14 = nullptr;
    QLabel *Label2 = nullptr, *Label4 = nullptr, *Label5 = nullptr, *Label6 = nullptr, *Label16 = nullptr,
           *Label3 = nullptr, *Label9 = nullptr, *Label17 = nullptr;
    QLineEdit *Text2 = nullptr, *Text3 = nullptr, *Text4 = nullptr, *Text5 = nullptr, *Text12 = nullptr,
              *Text7 = nullptr, *Text10 = nullptr;
    QRadioButton *Option1 = nullptr, *Option2 = nullptr;
    QCheckBox *Check1 = nullptr;
    QTreeWidget *ListView1 = nullptr;
    QList<QMovie *> ImageList1;  // 1: gold crown, 2: silver crown (animated)
    // The crowns move one frame this often (their pictures say every 150 ms).
    static constexpr int kCrownStepMs = 1500;

    // ---- state of the window (never saved) ----
    quint8 PageNumber = 0;
    QString SiteMode;       // "", "War3" or "dota"
    QString ListingUrl;
    int LastItemIndex = 0;  // the full row index: paged lists pass 255 rows
    QString GameFolder;
    QString ReplayPath;
    // The row click's search pattern of the selected replay's earlier downloads;
    // the download sequence keeps its own target files.

    const SiteRoots &Roots() const { return m_roots; }

    // ---- start-up and shut-down ----
    void Form_Load();
    void Form_Unload();
    void WebBrowser1_DocumentComplete();

    // ---- layout ----
    void Form_Resize();
    void Form_DragDrop(int x);
    void ListView1_DragDrop(int x);
    void WebBrowser2_DragDrop(int x);
    void Timer3_Timer();
    void SplitterDropped(QPoint globalPos);
    void PlaceSplitter(int barLeft, bool onSurface);
    // Window width and height in twips, borders and title bar included.
    int WindowWidth() const;
    int WindowHeight() const;

    // ---- catalogue ----
    struct ListingLoad {
        bool fetched = false;   // the page arrived whole
        int added = 0;          // rows appended (rows already listed are skipped)
        int newReplays = 0;     // of them, rows with a detail URL not listed before
    };
    ListingLoad LoadReplayList(const QString &url);
    void StartListing(const QString &siteMode, const QString &url);
    std::optional<QString> AskKeywords();
    // The search dialog's answer as typed; none when cancelled or blank.
    // The words typed into the search box under `help`; none when cancelled or blank.
    std::optional<QString> AskWords(const QString &help);
    void MeleeCategory(const QString &path);
    void all_Click();
    // The sixteen matchups, named after their menus.
    void rvr_Click();
    void fasd_Click();
    void awe_Click();
    void asdc_Click();
    void vvz_Click();
    void asdss_Click();
    void asd23_Click();
    void zxc_Click();
    void qwebb_Click();
    void vxcvx_Click();
    void asdasdee_Click();
    void xcvzxc_Click();
    void ffasd_Click();
    void asdasd_Click();
    void qwe_Click();
    void asd_Click();
    void search_Click();
    void dotanew_Click();
    void zd_Click();
    void sxdasd_Click();
    void sais_Click();
    void DotaSearch(int type);
    void ApplyMeleeLayout();
    void ApplyDotaLayout(int listWidth);
    void Timer2_Timer();

    // ---- replay details (details/form1_details.cpp, details/form1_dota.cpp) ----
    void ListView1_ItemClick();
    void ShowMeleeReplayDetail(const QString &page);
    // An empty page (nothing arrived) is a detail that could not be fetched.
    void ShowDotaReplayDetail(const QString &page);
    // The owner of the detail pane's controls and the download fields.
    DetailPane &Details() const { return *m_details; }
    // The address the map download fetches (Text9, escaped where the shown
    // DotA address is not).
    QString MapFetchUrl() const;

    // ---- download and playback (download/form1_download.cpp) ----
    void Command1_Click();
    void Option1_Click();
    void Option2_Click();
    void Text10_Change();
    void Command2_Click();
    void Command3_Click();
    QString GetDllVersion(const QString &path);
    // The replay-then-map download; its steps run on Timer1's ticks.
    DownloadSequence *Download = nullptr;
    // The clock of the replay names' time prefix; none: the local time of day.
    QTime (*TimeOfDay)() = nullptr;

    // ---- local replays (local/form1_local.cpp) ----
    void localreplays_Click();
    // The detail pane of the replay file at `path`: the file is read whole on a
    // worker thread and shown when the read ends, unless a newer click came.
    void ShowLocalReplayDetail(const QString &path);
    // Whether "播放录像" would play the local replay shown now.
    bool LocalReplayChosen() const;
    // The checks before a local replay plays (version numbers, the map on disk);
    // false when one failed, the user told why.
    bool LocalReplayPlays();
    // For tests: runs on the worker thread just before a local replay is read.
    std::function<void(const QString &path)> LocalReadStarting;

    // ---- local library (local/form1_library.cpp) ----
    void localsearch_Click();
    void autosave_Click();
    // The settings file whose [local] section remembers "自动保存最近录像"; read
    // now, written when the command changes.
    void UseSettingsFile(const QString &iniPath);
    // The replays of the game folder, from the index; made on first use.
    LocalLibrary *Library();
    // Shows `text` in the banner below the list for a few seconds.
    void ShowLocalStatus(const QString &text);

    // ---- announcement ----
    void Timer4_Timer();

signals:
    // A local replay's read ended: `shown` when the pane took it, false when a
    // newer click (or listing) had come meanwhile and the result was dropped.
    void LocalReplayRead(const QString &path, bool shown);

public:

    // The text of a multi-line text box with its line breaks as CR LF.
    static QString BoxText(const QPlainTextEdit *box);

    // True once the window has been closed: a handler that yielded stops then.
    bool Unloaded() const { return m_unloaded; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildControls();
    void BindDownload();
    void buildMenus();
    void watchScrolling();
    bool LastRowInView() const;
    // One step of the crowns in view: the next frame, their cells repainted.
    void StepCrowns();
    // The pane emptied and the user told that the replay's details could not be fetched.
    void ReplayDetailNotFetched();
    void ApplyLocalLayout();
    void ShowLocalReplayView(const LocalReplayView &view);
    LocalReads &Reads();
    QAction *menuCommand(QMenu *menu, const char *name, const QString &caption);

    SiteRoots m_roots;
    PageFiles *m_pages;
    Platform m_platform;
    ProgressView *m_downloadView = nullptr;
    QWidget *m_surface = nullptr;  // the window's own surface (client area)
    std::unique_ptr<DetailPane> m_details;
    std::shared_ptr<LocalReads> m_localReads;  // the local replays' reads and the one shown (local/form1_local.cpp)
    QTimer *m_crownClock = nullptr;  // steps the crowns; off while the window is minimised
    bool m_unloaded = false;
    bool m_announcementBusy = false;
    bool m_listingEnded = false;   // paging found the end of the current listing
    int m_pageFailedAt = -1;       // scroll position at which the last paging fetch failed
    bool m_scrolledDown = false;   // the user scrolled the list down since the last paging tick
    bool m_keyChoosing = false;    // a key press is moving the list's current row
    quint64 m_listingSerial = 0;   // counts listings started, to spot a change during a yield
    LocalLibrary *m_library = nullptr;
    QString m_iniPath;             // quillmark.ini; empty: nothing remembered
    QTimer *m_localStatusTimer = nullptr;
    void bindLibraryRows(bool reset, const QList<ListEdit> &edits);
};
