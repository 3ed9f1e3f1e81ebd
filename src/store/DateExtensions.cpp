#include "DateExtensions.h"

qint64 daysBetween(const QDateTime &start, const QDateTime &end)
{
    // Dates rather than elapsed seconds: a day with a daylight-saving change still counts as one.
    return start.toLocalTime().date().daysTo(end.toLocalTime().date());
}
