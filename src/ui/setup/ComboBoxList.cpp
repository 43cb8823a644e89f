// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/ComboBoxList.h"

#include <QComboBox>

void AssignListToComboBox(QComboBox& dest, const QString& source, int indx, int maxIndxLimit)
{
    const int limit = maxIndxLimit < 1 ? 99999 : maxIndxLimit;
    dest.clear();
    qsizetype start = 0;
    while (dest.count() < limit) {
        const qsizetype cr = source.indexOf(QLatin1Char('\r'), start);
        if (cr < 0)
            break;
        dest.addItem(source.mid(start, cr - start));
        start = cr + 2;
    }
    // Adding to an empty box selects the first item; the component's index decides instead.
    const bool select = indx >= 0 && indx < dest.count();
    dest.setCurrentIndex(select ? indx : -1);
    if (select)
        emit dest.activated(indx);
}

void showComboBoxText(QComboBox& box, const QString& text)
{
    if (text.isEmpty())
        return;
    const int index = box.findText(text);
    box.setCurrentIndex(index);
    if (index < 0)
        box.setPlaceholderText(text);
}
