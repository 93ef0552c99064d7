// CheckFileName and CheckRelativePath over names and map paths from the web.
#include "download/gamepath.h"
#include "fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (const QString &text : {FuzzText(data, size), FuzzUnits(data, size)}) {
        if (CheckFileName(text).isEmpty()) {
            FUZZ_CHECK(!text.contains(u'/') && !text.contains(u'\\') && !text.contains(QChar(0)));
            FUZZ_CHECK(text != QLatin1String("..") && text != QLatin1String("."));
        }
        // An accepted path stays below the game folder: every part is a file name.
        if (CheckRelativePath(text).isEmpty()) {
            FUZZ_CHECK(!text.isEmpty());
            QString parts = text;
            parts.replace(u'/', u'\\');
            for (const QString &part : parts.split(u'\\'))
                FUZZ_CHECK(CheckFileName(part).isEmpty());
        }
    }
    return 0;
}
