// The decoders of what a map file holds: BLP1 and TGA pictures, the info file
// "war3map.w3i" and the string table "war3map.wts", over the same bytes.
#include "fuzz/fuzztext.h"
#include "local/blpimage.h"
#include "local/mapfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QImage &image : {DecodeBlp(bytes), DecodeTga(bytes)})
        FUZZ_CHECK(image.width() <= kMapPictureMaxSide && image.height() <= kMapPictureMaxSide);
    const QHash<int, QString> strings = ParseWts(bytes);
    if (const auto facts = ParseW3i(bytes, strings)) {
        FUZZ_CHECK(facts->name.size() <= kMapLineMaxChars && facts->author.size() <= kMapLineMaxChars);
        FUZZ_CHECK(facts->description.size() <= kMapDescriptionMaxChars);
        FUZZ_CHECK(facts->playerSlots >= 0 && facts->playerSlots <= 32);
    }
    return 0;
}
