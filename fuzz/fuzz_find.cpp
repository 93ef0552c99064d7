// find(neir, lside, rside) over three parts of the input.
#include "fuzz/fuzztext.h"
#include "web/texthelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (const QString &text : {FuzzText(data, size), FuzzUnits(data, size)}) {
        const QStringList p = FuzzParts(text, 3);
        const QString got = find(p[0], p[1], p[2]);
        // Whatever comes back stands in the text, and never without both markers.
        FUZZ_CHECK(got.isEmpty() || p[0].contains(got));
        FUZZ_CHECK(got.isEmpty() || (p[0].contains(p[1]) && !p[2].isEmpty() && p[0].contains(p[2])));
    }
    return 0;
}
