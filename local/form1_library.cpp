// The local library bound to the window: the local list's rows as the library
// gives and edits them, "搜索本地录像", "自动保存最近录像" and the status line,
// which is the loading banner below the list.
#include "app/form1.h"

#include "download/gamepath.h"
#include "local/library.h"
#include "local/librarysearch.h"
#include "web/siteconfig.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <QTreeWidget>

namespace {
constexpr int kStatusShownMs = 6000;

QTreeWidgetItem *rowItem(const LibraryRow &row, int index)
{
    // All cells at once: one setText per cell costs the long list dear.
    return new QTreeWidgetItem(QStringList{QString::number(index), row.cells.matchup, row.cells.players, row.cells.map,
                                           row.cells.time});
}
} // namespace

LocalLibrary *Form1::Library()
{
    if (m_library)
        return m_library;
    m_library = new LocalLibrary(QString(), this);
    m_library->Shown = [this] { return SiteMode == u"local"; };
    connect(m_library, &LocalLibrary::RowsReset, this, [this] { bindLibraryRows(true, {}); });
    connect(m_library, &LocalLibrary::RowsEdited, this,
            [this](const QList<ListEdit> &edits) { bindLibraryRows(false, edits); });
    connect(m_library, &LocalLibrary::StatusChanged, this, [this](const QString &text) {
        if (SiteMode == u"local")
            ShowLocalStatus(text);
    });
    m_localStatusTimer = new QTimer(this);
    m_localStatusTimer->setSingleShot(true);
    connect(m_localStatusTimer, &QTimer::timeout, this, [this] {
        if (SiteMode == u"local")
            Frame3->hide();
    });
    // A game path set later serves the copies of LastReplay.w3g too.
    // (Text7 changes before GameFolder follows it.)
    connect(Text7, &QLineEdit::textChanged, this, [this](const QString &gamePath) {
        if (m_library->AutoSave() && !GameFolderOf(gamePath).isEmpty())
            m_library->SetAutoSave(true, GameFolderOf(gamePath));
    });
    return m_library;
}

void Form1::bindLibraryRows(bool reset, const QList<ListEdit> &edits)
{
    if (SiteMode != u"local")
        return;  // the list shows a site listing now
    const QList<LibraryRow> &rows = m_library->Rows();
    int firstMoved = int(rows.size());
    if (reset) {
        ListView1->clear();
        List1->clear();
        LastItemIndex = 0;
        QList<QTreeWidgetItem *> items;
        items.reserve(rows.size());
        QStringList paths;
        paths.reserve(rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            items.append(rowItem(rows.at(i), i));
            paths.append(m_library->PathOf(i));
        }
        ListView1->addTopLevelItems(items);
        List1->addItems(paths);
    }
    for (const ListEdit &e : edits) {
        if (e.kind != ListEdit::Change)
            firstMoved = qMin(firstMoved, e.index);
        // LastItemIndex counts from 1 and names the row shown in the pane.
        const int shown = LastItemIndex - 1;
        switch (e.kind) {
        case ListEdit::Remove:
            delete ListView1->takeTopLevelItem(e.index);
            delete List1->takeItem(e.index);
            if (e.index == shown)
                LastItemIndex = 0;
            else if (e.index < shown)
                --LastItemIndex;
            break;
        case ListEdit::Insert:
            ListView1->insertTopLevelItem(e.index, rowItem(rows.at(e.row), e.index));
            List1->insertItem(e.index, m_library->PathOf(e.row));
            if (LastItemIndex > 0 && e.index <= shown)
                ++LastItemIndex;
            break;
        case ListEdit::Change: {
            QTreeWidgetItem *item = ListView1->topLevelItem(e.index);
            const LibraryRow &row = rows.at(e.row);
            for (int c = 1; c < 5; ++c)
                item->setText(c, c == 1 ? row.cells.matchup : c == 2 ? row.cells.players : c == 3 ? row.cells.map : row.cells.time);
            List1->item(e.index)->setText(m_library->PathOf(e.row));
            if (e.index == shown)
                LastItemIndex = 0;  // another copy may be the one to show now
            break;
        }
        }
    }
    // The rows below a row put in or taken out are counted anew.
    for (int i = firstMoved; i < ListView1->topLevelItemCount(); ++i)
        ListView1->topLevelItem(i)->setText(0, QString::number(i));
}

void Form1::ShowLocalStatus(const QString &text)
{
    Label15->setText(text);
    Label15->adjustSize();
    Frame3->show();
    Frame3->raise();
    if (m_localStatusTimer)
        m_localStatusTimer->start(kStatusShownMs);
}

void Form1::localsearch_Click()
{
    if (Text7->text().isEmpty()) {
        m_platform.dialogs->MsgBox(this, QStringLiteral("请先设置 魔兽路径 ！"), QString());
        return;
    }
    const std::optional<QString> words = AskWords(kLibrarySearchHelp);
    if (!words)
        return;
    if (SiteMode != u"local")
        localreplays_Click();
    Library()->Search(*words);
}

void Form1::autosave_Click()
{
    auto *command = findChild<QAction *>(QStringLiteral("autosave"));
    const bool on = command->isChecked();
    Library()->SetAutoSave(on, GameFolder);
    if (!m_iniPath.isEmpty() && !SaveAutoSave(m_iniPath, on))
        m_platform.dialogs->MsgBox(this, QStringLiteral("无法保存设置！"), QString());
}

void Form1::UseSettingsFile(const QString &iniPath)
{
    m_iniPath = iniPath;
    const bool on = ConfiguredAutoSave(iniPath);
    findChild<QAction *>(QStringLiteral("autosave"))->setChecked(on);
    if (on)
        Library()->SetAutoSave(true, GameFolder);
}
