#pragma once
// Turns the text of one melee replay detail page into the values of the detail
// pane and the three download fields. No widgets here: the window shows the
// values (as plain text) itself.
#include <QString>

#include <array>
#include <optional>

// Which of the four race emblems a team shows (Picture1 to Picture4), or Keep:
// the team's race word was none of the four, so the emblem shown stays.
enum class RaceEmblem { Keep = 0, Human = 1, NightElf = 2, Orc = 3, Undead = 4 };

struct MeleeTeam {
    RaceEmblem emblem = RaceEmblem::Keep;
    // The three name slots, top to bottom: nullopt when the page's list has no
    // item for the slot (the slot keeps its caption), empty text when the slot
    // is cleared, otherwise the player's name.
    std::array<std::optional<QString>, 3> names;
};

struct MeleeDetail {
    QString minimapUrl;  // MeleeSiteRoot + the picture's path
    QString mapName;     // Text2
    QString time;        // Text3
    QString players;     // Text4
    QString version;     // Text5
    QString commentary;  // Text6, markup removed
    std::array<MeleeTeam, 2> teams;
    QString replayUrl;   // Text8
    QString mapUrl;      // Text9
    QString mapPath;     // Text10, always starting with "Maps\"
};

// Longest text kept of a page value, so a hostile page cannot flood the window.
constexpr int kMeleeFieldLimit = 4096;
constexpr int kMeleeCommentaryLimit = 64 * 1024;

// Never fails: a value whose markers are missing is empty text (with the fixed
// parts of the URLs and the map path still around it).
MeleeDetail ParseMeleeDetail(const QString &page, const QString &meleeSiteRoot);

// The document written into the minimap pane: the pane's script, then the map
// picture at 168 x 168. The URL is escaped for the single-quoted attribute, so
// nothing of it can leave the attribute.
QString MeleeMinimapDocument(const QString &script, const QString &pictureUrl);
