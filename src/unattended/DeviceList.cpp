// SPDX-License-Identifier: GPL-3.0-or-later
#include "unattended/DeviceList.h"

#include <QStringList>

namespace {
QStringList items(const QString& list)
{
    QStringList out = list.split(QStringLiteral("\r\n"));
    out.removeLast(); // text after the last CR LF is no item
    return out;
}
} // namespace

int listItemIndex(const QString& list, const QString& item)
{
    return item.isEmpty() ? -1 : static_cast<int>(items(list).indexOf(item));
}

QString listItemAt(const QString& list, int index)
{
    const QStringList all = items(list);
    return index >= 0 && index < all.size() ? all[index] : QString();
}
