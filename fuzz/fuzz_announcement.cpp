// ParseAnnouncement over the announcement feed, and what the caption and the
// download link make of it.
#include "announce/announcement.h"
#include "fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Announcement a = ParseAnnouncement(FuzzText(data, size));
    FUZZ_CHECK(!a.version.startsWith(u' ') && !a.version.endsWith(u' '));
    ParseVersionNumber(a.version);
    AnnouncedCaption(QStringLiteral("Quillmark"), a);
    if (const auto url = DownloadLink(a.link))
        FUZZ_CHECK(url->scheme() == QLatin1String("http") || url->scheme() == QLatin1String("https"));
    return 0;
}
