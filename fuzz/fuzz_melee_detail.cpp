// ParseMeleeDetail over melee detail pages.
#include "details/meleedetail.h"
#include "fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const MeleeDetail d = ParseMeleeDetail(FuzzText(data, size), QStringLiteral("http://127.0.0.1:8000"));
    for (const QString &v : {d.mapName, d.time, d.players, d.version})
        FUZZ_CHECK(v.size() <= kMeleeFieldLimit);
    FUZZ_CHECK(d.commentary.size() <= kMeleeCommentaryLimit);
    FUZZ_CHECK(d.mapPath.startsWith(QStringLiteral("Maps\\")));
    MeleeMinimapDocument(QString(), d.minimapUrl);
    return 0;
}
