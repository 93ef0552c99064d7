// ReadVersionResourceBytes over PE images (Game.dll).
#include "download/versionresource.h"
#include "fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    VersionStrings out;
    const int status = ReadVersionResourceBytes(FuzzBytes(data, size), out);
    FUZZ_CHECK(status == VersionResourceRead || status == VersionResourceUnreadable);
    return 0;
}
