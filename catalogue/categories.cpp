#include "catalogue/categories.h"

#include "web/codepage.h"

QString ListingPageUrl(const QString &listingUrl, int pageNumber)
{
    return listingUrl + QStringLiteral("&PageNo=") + QString::number(pageNumber);
}

std::optional<QString> EncodeKeywords(const QString &keywords)
{
    const std::optional<QByteArray> narrow = codepage::toNarrow(keywords);
    if (!narrow)
        return std::nullopt;
    return QString::fromLatin1(codepage::percentEncodeAll(*narrow));
}

bool NextPageDue(int position, int rows)
{
    return position != 0 && double(position) > 0.8 * double(rows) - 5.0;
}
