#include "PortNameOrder.h"

#include <QCollator>

#include <algorithm>

void SortPortNames(QStringList &Names)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    std::sort(Names.begin(), Names.end(), [&collator](const QString &a, const QString &b) {
        const int order = collator.compare(a, b);
        return order != 0 ? order < 0 : a < b;
    });
}
