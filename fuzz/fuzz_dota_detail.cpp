// ParseDotaDetail over DotA detail pages, and DotaMapFolder over the map download
// index: the input is the page (or index), then after U+0001 a map name to look up.
#include "details/dotadetail.h"
#include "fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList p = FuzzParts(FuzzText(data, size), 2);
    const DotaDetail d = ParseDotaDetail(p[0], QStringLiteral("http://127.0.0.1:8001"));
    for (const QString &v : {d.mapName, d.time, d.players, d.version})
        FUZZ_CHECK(v.size() <= kDotaFieldLimit);
    FUZZ_CHECK(d.commentary.size() <= kDotaCommentaryLimit);
    FUZZ_CHECK(d.mapName.isEmpty() == d.mapPath.isEmpty());

    const QString name = p[1].isEmpty() ? d.mapName : p[1];
    const QString folder = DotaMapFolder(p[0], name);
    FUZZ_CHECK(folder.size() <= 6);
    for (QChar c : folder)
        FUZZ_CHECK((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
                   || c == u'_' || c == u'-');
    if (!folder.isEmpty())
        DotaMapUrl(QStringLiteral("http://127.0.0.1:8002/dota/"), folder, name);
    return 0;
}
