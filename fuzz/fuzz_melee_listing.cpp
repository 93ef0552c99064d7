// ParseMeleeListing over melee listing pages.
#include "catalogue/listingparser.h"
#include "web/texthelpers.h"
#include "fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (const ListingRow &row : ParseMeleeListing(FuzzText(data, size))) {
        FUZZ_CHECK(row.icon >= 0 && row.icon <= 2);
        for (const QString &cell : {row.matchup, row.players, row.map, row.time})
            FUZZ_CHECK(ListCellText(cell).size() <= 257);
    }
    return 0;
}
