// ReadReplay over replay files (.w3g).
#include "details/replayfile.h"
#include "fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const ReplayInfo info = ReadReplay(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (info.readable) {
        FUZZ_CHECK(info.players.size() <= info.slotTable.size());
        MatchupText(info);
        PlayersText(info);
        ReplayLengthText(info.lengthMs);
        ReplayVersionText(info.version);
    }
    DecodeReplayString(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
