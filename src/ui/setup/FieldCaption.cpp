// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/FieldCaption.h"

#include <QLabel>

void captionField(QLabel* caption, QWidget* field)
{
    caption->setBuddy(field);
    if (caption->parentWidget() != field->parentWidget())
        field->setAccessibleName(QString(caption->text()).remove(QLatin1Char('&')));
}
