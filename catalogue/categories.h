#pragma once
// What the listing commands send: the listing page addresses and the keywords.
#include <QString>
#include <optional>

// The address of one page of a listing: "&PageNo=" and the number go behind the
// listing URL as it stands (also behind a bare "?").
QString ListingPageUrl(const QString &listingUrl, int pageNumber);

// Keywords as they go into a search URL: their code-page-936 bytes, every byte
// that is not an unreserved URL character percent-encoded (so "#", "&", "%", "+"
// and blanks reach the site as typed). nullopt when a character has no place in
// that code page.
std::optional<QString> EncodeKeywords(const QString &keywords);

// The paging check: the list has been scrolled `position` rows down and holds
// `rows` rows; the next page is due when position > 0.8 * rows - 5.
bool NextPageDue(int position, int rows);

constexpr int kLastPageNumber = 255;
