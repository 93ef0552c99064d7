// URLDecode over download URLs and file names.
#include "fuzz/fuzztext.h"
#include "web/texthelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (const QString &text : {FuzzText(data, size), FuzzUnits(data, size)}) {
        // Decoding only ever shortens: three characters of escape give at most one.
        FUZZ_CHECK(URLDecode(text).size() <= text.size());
    }
    return 0;
}
