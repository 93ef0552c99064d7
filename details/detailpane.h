#pragma once
// The detail pane: the one owner of its controls. A replay from either site or
// from the game folder is shown, and the pane is emptied, only through here, so
// the list of the pane's controls is written once.
#include "details/dotadetail.h"
#include "details/meleedetail.h"

#include <QString>

#include <array>

class Form1;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class WebPane;

// One team of a replay read from disk: all three name slots are set (empty text
// for a free slot); a team the replay does not have shows no emblem.
struct LocalPaneTeam {
    bool present = false;
    RaceEmblem emblem = RaceEmblem::Keep;  // Keep: the emblem shown stays (random race)
    std::array<QString, 3> names;
};

// What the pane shows of a replay in the game folder. Nothing to download.
struct LocalPaneDetail {
    QString mapName;      // Text2
    QString length;       // Text3
    QString playerCount;  // Text4
    QString version;      // Text5
    QString summary;      // Text6
    std::array<LocalPaneTeam, 2> teams;
    QString minimapUrl;   // WebBrowser1: a data: address of the map's picture; empty leaves the pane blank
    QString analysis;     // WebBrowser2: the analysis document, or what is wrong with the file
};

class DetailPane {
public:
    explicit DetailPane(Form1 &form);

    // Empties every field, emblem and name, the three download fields and the
    // minimap; the DotA pane too while it is on screen. The note "该地图需要下载"
    // goes with the map path.
    void clear();
    // A melee replay; `minimapScript` goes before the map picture.
    void showMelee(const MeleeDetail &d, const QString &minimapScript);
    // A DotA replay. `mapUrl` is Text9 as shown, `mapWireUrl` the same address as
    // fetched (both empty when the index has no folder for the map). The melee
    // teams are emptied: a DotA replay has none.
    void showDota(const DotaDetail &d, const QString &mapUrl, const QString &mapWireUrl, const QString &minimapDocument,
                  const QString &playerDocument);
    void showLocal(const LocalPaneDetail &d);

    // The address the map is fetched from: the escaped form of a DotA map address
    // while Text9 still shows it, otherwise Text9 as it stands.
    QString mapFetchUrl() const;

private:
    void setFields(const QString &map, const QString &time, const QString &players, const QString &version,
                   const QString &commentary);
    void setDownloadFields(const QString &replayUrl, const QString &mapUrl, const QString &mapPath);
    void clearTeams();
    void showEmblem(int team, RaceEmblem emblem);

    Form1 &m_form;
    QLineEdit *m_map, *m_time, *m_players, *m_version;  // Text2 to Text5
    QPlainTextEdit *m_commentary;                       // Text6
    QLineEdit *m_replayUrl, *m_mapUrl, *m_mapPath;      // Text8, Text9, Text10
    QLabel *m_mapMissing;                               // Label17: "该地图需要下载"
    std::array<QLabel *, 4> m_emblemSources;            // Picture1 to Picture4
    std::array<QLabel *, 2> m_emblems;                  // Picture5, Picture6
    std::array<std::array<QLabel *, 3>, 2> m_names;     // Label1, Label10, Label11; Label12 to Label14
    WebPane *m_minimap;                                 // WebBrowser1
    WebPane *m_dotaPane;                                // WebBrowser2
    QString m_mapShown, m_mapWire;                      // the DotA map address shown in Text9 and fetched
};
