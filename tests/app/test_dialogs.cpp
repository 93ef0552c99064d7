// The dialogs and message boxes the window shows, as the desktop shows them (not
// the tests' recording doubles): Chinese, no English word of Qt's own on them.
#include "app/startup.h"
#include "support/testwindow.h"

#include <QRegularExpression>

namespace {
// Every text a user can read on `dialog`: its title, labels, buttons, the tips of
// its buttons and the column headers of its lists. What lists and combo boxes show
// (file names, folders, the filter entry) is the user's disk and the tool's own.
QStringList ReadableTexts(QWidget *dialog)
{
    QStringList out{dialog->windowTitle()};
    for (QWidget *w : dialog->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(dialog))
            continue;
        out << w->toolTip();
        if (auto *label = qobject_cast<QLabel *>(w))
            out << label->text();
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            out << button->text();
        if (auto *header = qobject_cast<QHeaderView *>(w); header && header->model())
            for (int i = 0; i < header->count(); ++i)
                if (!header->isSectionHidden(i))
                    out << header->model()->headerData(i, header->orientation()).toString();
    }
    out.removeAll(QString());
    return out;
}

// The English words among `texts`, the tool's own texts taken out first.
QStringList EnglishWords(const QStringList &texts, const QStringList &own)
{
    QStringList words;
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    for (QString text : texts) {
        text.remove(u'\r');
        for (const QString &o : own)
            text.remove(QString(o).remove(u'\r'));
        for (const QRegularExpressionMatch &m : word.globalMatch(text))
            words << m.captured();
    }
    return words;
}

// Runs `open`, which shows modal dialogs one after the other; reads each, saves
// the picture of the first of class `kind` as `picture`, and closes each with
// Escape. The texts of every dialog shown, the first `kind` one first.
QStringList ReadDialogs(const std::function<void()> &open, const QString &picture, const char *kind)
{
    QStringList texts;
    QList<QWidget *> seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || seen.contains(dialog))
            return;
        seen << dialog;
        Idle(300);  // the file list filled, the buttons laid out
        if (seen.size() == 1) {
            EXPECT_TRUE(dialog->inherits(kind)) << dialog->metaObject()->className();
            SaveScreenshot(dialog, picture);
        }
        texts << ReadableTexts(dialog);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    poll.start(50);
    open();
    poll.stop();
    EXPECT_FALSE(seen.isEmpty()) << kind;
    return texts;
}

class DesktopDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadQtChinese(qApp)) << "qtbase_zh_CN.qm: package qt6-translations-l10n"; }
    DemoSite site;
    QTemporaryDir pageDir, game;
    PageFiles pages{pageDir.path()};
    RecordingOpener opener;
    RecordingExit exit;
    RecordingLauncher launcher;
    // The window with the desktop's own dialogs.
    std::unique_ptr<Form1> form;
    void SetUp() override
    {
        qputenv("QUILLMARK_GAME_DIALOG_DIR", game.path().toUtf8());
        CopyDemoGame(game.path());
        form = std::make_unique<Form1>(site.roots(), &pages, Platform{DesktopPlatform().dialogs, &opener, &exit, &launcher});
        form->Timer4->stop();
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override { qunsetenv("QUILLMARK_GAME_DIALOG_DIR"); }
};
} // namespace

TEST_F(DesktopDialogs, TheGamePathDialogIsChinese)
{
    const QStringList texts = ReadDialogs([&] { QTest::mouseClick(form->Command2, Qt::LeftButton); }, QStringLiteral("dialog-game-path.png"), "QFileDialog");
    // Title, the three labels, the two buttons, the column headers.
    for (const char *expected : {"打开", "查找范围：", "文件名：", "文件类型：", "取消", "名称", "类型"})
        EXPECT_TRUE(texts.contains(u8s(expected))) << expected << " in " << texts.join(u'|').toStdString();
    // Cancelled, no Game.dll to read: "未能取得信息!" follows, titled with the application's name.
    EXPECT_EQ(EnglishWords(texts, {u8s("War3(War3.exe;Warcraft III.exe)"), QCoreApplication::applicationName()}), QStringList())
        << texts.join(u'|').toStdString();
}

TEST_F(DesktopDialogs, TheSearchBoxAndTheMessageBoxesAreChinese)
{
    QStringList texts = ReadDialogs([&] { form->findChild<QAction *>(QStringLiteral("search"))->trigger(); }, QStringLiteral("dialog-search.png"), "QInputDialog");
    EXPECT_TRUE(texts.contains(u8s("确定")) && texts.contains(u8s("取消"))) << texts.join(u'|').toStdString();
    EXPECT_EQ(EnglishWords(texts, {Form1::BoxText(form->Text11)}), QStringList()) << texts.join(u'|').toStdString();

    // "播放录像" with no game path set: the message box.
    texts = ReadDialogs([&] { QTest::mouseClick(form->Command3, Qt::LeftButton); }, QStringLiteral("dialog-message.png"), "QMessageBox");
    EXPECT_TRUE(texts.contains(u8s("确定"))) << texts.join(u'|').toStdString();
    EXPECT_EQ(EnglishWords(texts, {}), QStringList()) << texts.join(u'|').toStdString();
}

TEST_F(DesktopDialogs, APagesAlertInTheDotaPaneIsTheToolsOwnBox)
{
    form->findChild<QAction *>(QStringLiteral("dotanew"))->trigger();
    WebPane *pane = form->WebBrowser2;
    ASSERT_TRUE(WaitFor([&] { return pane->EngineStarted() && !pane->Loading() && pane->focusProxy(); }, 20000));
    int alerts = 0;
    QObject::connect(pane, &WebPane::AlertShown, [&] { ++alerts; });
    const QStringList texts = ReadDialogs([&] {
        QTest::keyClick(pane->focusProxy(), Qt::Key_Shift);  // the user's press lets one box show
        pane->page()->runJavaScript(u8s("alert('胜者')"));
        WaitFor([&] { return alerts > 0; }, 10000);
    }, QStringLiteral("dialog-alert.png"), "QMessageBox");
    EXPECT_TRUE(texts.contains(u8s("胜者")) && texts.contains(u8s("确定"))) << texts.join(u'|').toStdString();
    EXPECT_EQ(EnglishWords(texts, {}), QStringList()) << texts.join(u'|').toStdString();
}
