#pragma once

#include <QString>

// The order names are shown in, the same on every start and every machine: letters compared
// without regard to case, runs of digits by their value ("图2" before "图10"), then exact text
// to settle names that differ only in case.
class NameOrder
{
public:
    // Negative, zero or positive as a sorts before, with or after b.
    static int compare(const QString &a, const QString &b);
    static bool lessThan(const QString &a, const QString &b) { return compare(a, b) < 0; }
};
