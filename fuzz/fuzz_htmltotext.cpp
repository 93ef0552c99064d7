// HtmlToText over page fragments.
#include "fuzz/fuzztext.h"
#include "web/texthelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (const QString &text : {FuzzText(data, size), FuzzUnits(data, size)}) {
        // Tags go, "&nbsp" becomes one blank: the text never grows.
        FUZZ_CHECK(HtmlToText(text).size() <= text.size());
        TrimBlanks(text);
    }
    return 0;
}
