// ReadReplay over replay files (.w3g, .nwg): the opening read, the whole read with
// the game walked, and the texts and document made of what was read.
#include "details/replayanalysis.h"
#include "details/replayfile.h"
#include "details/replaygame.h"
#include "fuzz/fuzztext.h"
#include "local/localreplays.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const ReplayInfo head = ReadReplay(bytes);
    const ReplayInfo info = ReadReplay(bytes, ReplayDepth::Whole);
    FUZZ_CHECK(head.readable == (head.status == ReplayStatus::Read) && info.readable == (info.status == ReplayStatus::Read));
    FUZZ_CHECK(!info.readable || head.readable);  // what reads whole reads at its opening
    ReplayStatusText(info.status);
    if (info.readable) {
        FUZZ_CHECK(info.players.size() <= info.slotTable.size() && info.whole);
        FUZZ_CHECK(info.chat.size() <= kReplayMaxChatLines);
        for (const ReplayPlayer &p : info.players)
            FUZZ_CHECK(p.actions >= 0 && p.apm >= 0 && p.leftAtMs <= info.endMs);
        MatchupText(info);
        PlayersText(info);
        ReplayLengthText(info.lengthMs);
        ReplayVersionText(info.version);
        LocalReplaySummary(info);
        const QString html = ReplayAnalysisHtml(info);
        FUZZ_CHECK(!html.contains(QStringLiteral("<script")));
    }
    DecodeReplayString(bytes);

    // The game walk straight over the bytes (no checksum in the way): four players
    // of two teams, an observer and a computer, of a version the first byte picks.
    if (size > 0) {
        static const int kVersions[] = {2, 6, 13, 14, 26, 29, 10030, 10032, 10100};
        ReplayInfo game;
        game.version = kVersions[data[0] % std::size(kVersions)];
        for (int id = 1; id <= 4; ++id)
            game.players.append(ReplayPlayer{.id = id, .name = QStringLiteral("p"), .team = id % 2, .colour = id, .observer = id == 4});
        game.players.append(ReplayPlayer{.computer = true});
        WalkReplayGame(bytes.sliced(1), game);
        for (const ReplayPlayer &p : game.players)
            FUZZ_CHECK(p.actions >= 0 && p.apm >= 0 && p.leftAtMs <= game.endMs && p.apmPerMinute.size() <= 24 * 60 + 1);
        FUZZ_CHECK(game.winningTeam == -1 || game.winningTeam == 0 || game.winningTeam == 1);
        ReplayAnalysisHtml(game);
    }
    return 0;
}
