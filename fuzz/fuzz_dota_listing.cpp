// ParseDotaListing over DotA listing pages.
#include "catalogue/listingparser.h"
#include "web/texthelpers.h"
#include "fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString root = QStringLiteral("http://127.0.0.1:8001");
    for (const ListingRow &row : ParseDotaListing(FuzzText(data, size), root)) {
        FUZZ_CHECK(row.icon >= 0 && row.icon <= 2);
        FUZZ_CHECK(row.map.isEmpty());
        for (const QString &cell : {row.matchup, row.players, row.time})
            FUZZ_CHECK(ListCellText(cell).size() <= 257);
    }
    return 0;
}
