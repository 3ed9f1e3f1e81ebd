#pragma once
// Whole calendar days between two moments, counted in the local time zone.

#include <QDateTime>

// Days from start's local day to end's local day (negative when end's day comes first). The
// receiver-first form, "days from this date to that one", is the same call.
[[nodiscard]] qint64 daysBetween(const QDateTime &start, const QDateTime &end);
