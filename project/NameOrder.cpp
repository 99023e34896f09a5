#include "project/NameOrder.h"

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

int NameOrder::compare(const QString &a, const QString &b)
{
    int i = 0;
    int j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            // By value: leading zeros do not count, a longer run is larger, equal lengths compare
            // digit by digit. Any length works, so no number overflows.
            int endA = i;
            int endB = j;
            while (endA < a.size() && isDigit(a[endA]))
                ++endA;
            while (endB < b.size() && isDigit(b[endB]))
                ++endB;
            int startA = i;
            int startB = j;
            while (startA + 1 < endA && a[startA] == QLatin1Char('0'))
                ++startA;
            while (startB + 1 < endB && b[startB] == QLatin1Char('0'))
                ++startB;
            if (endA - startA != endB - startB)
                return (endA - startA) - (endB - startB);
            const int digits = QStringView(a).mid(startA, endA - startA).compare(QStringView(b).mid(startB, endB - startB));
            if (digits != 0)
                return digits;
            i = endA;
            j = endB;
            continue;
        }
        const QChar ca = a[i].toCaseFolded();
        const QChar cb = b[j].toCaseFolded();
        if (ca != cb)
            return ca.unicode() - cb.unicode();
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) - (b.size() - j);
    return a.compare(b);
}
