#pragma once
// Orders version texts the way update feeds mean them: split into runs of digits, runs of other
// text and single separators, digits compared as numbers ("1.10" is newer than "1.9").

#include <QString>

#include <compare>

namespace VersionComparison {

// How a stands to b: greater when a is the newer version. Runs of digits compare by value, text
// runs by their characters, and any two separators alike. Where the kinds differ, a number beats
// a separator and both beat text. When one version is the other followed by more, text after the
// end makes it older ("1.0b1" before "1.0") and a number or separator newer ("1.0.1" after "1.0").
[[nodiscard]] std::strong_ordering compare(const QString &a, const QString &b);

} // namespace VersionComparison
