#include "VersionComparison.h"

#include <QList>
#include <QStringView>

#include <algorithm>

namespace {

enum class Kind { Number, Separator, Text };

Kind kindOf(QChar c)
{
    if (c.isDigit())
        return Kind::Number;
    if (c.isSpace() || c.isPunct())
        return Kind::Separator;
    return Kind::Text;
}

struct Part
{
    Kind kind;
    QStringView text;
};

// Runs of one kind, except that every separator stands alone.
QList<Part> split(QStringView version)
{
    QList<Part> parts;
    qsizetype start = 0;
    for (qsizetype i = 1; i <= version.size(); ++i) {
        const Kind kind = kindOf(version[start]);
        if (i == version.size() || kind == Kind::Separator || kindOf(version[i]) != kind) {
            parts.append({kind, version.sliced(start, i - start)});
            start = i;
        }
    }
    return parts;
}

// Digit runs of any length, by value: leading zeros dropped, then the longer run is the larger.
std::strong_ordering compareNumbers(QStringView a, QStringView b)
{
    const auto significant = [](QStringView digits) {
        qsizetype zeros = 0;
        while (zeros < digits.size() && digits[zeros].digitValue() == 0)
            ++zeros;
        return digits.sliced(zeros);
    };
    a = significant(a);
    b = significant(b);
    if (a.size() != b.size())
        return a.size() <=> b.size();
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].digitValue() != b[i].digitValue())
            return a[i].digitValue() <=> b[i].digitValue();
    }
    return std::strong_ordering::equal;
}

// Where the kinds differ, a number beats a separator, and both beat text.
int rank(Kind kind)
{
    switch (kind) {
    case Kind::Number:
        return 2;
    case Kind::Separator:
        return 1;
    case Kind::Text:
        break;
    }
    return 0;
}

std::strong_ordering compareParts(const Part &a, const Part &b)
{
    if (a.kind != b.kind)
        return rank(a.kind) <=> rank(b.kind);
    switch (a.kind) {
    case Kind::Number:
        return compareNumbers(a.text, b.text);
    case Kind::Text:
        return a.text.compare(b.text) <=> 0;
    case Kind::Separator:
        break;
    }
    return std::strong_ordering::equal;
}

} // namespace

namespace VersionComparison {

std::strong_ordering compare(const QString &a, const QString &b)
{
    const QList<Part> partsA = split(a);
    const QList<Part> partsB = split(b);
    const qsizetype common = std::min(partsA.size(), partsB.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (const auto order = compareParts(partsA[i], partsB[i]); order != 0)
            return order;
    }
    if (partsA.size() == partsB.size())
        return std::strong_ordering::equal;
    // One is the other followed by more: what follows decides.
    const bool aLonger = partsA.size() > partsB.size();
    const Part &next = aLonger ? partsA[common] : partsB[common];
    const bool longerIsNewer = next.kind != Kind::Text;
    return aLonger == longerIsNewer ? std::strong_ordering::greater : std::strong_ordering::less;
}

} // namespace VersionComparison
