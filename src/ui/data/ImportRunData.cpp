// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/data/ImportRunData.h"

#include "data/DataImport.h"

ImportRunData::ImportRunData(MeteringContext& ctx, QWidget* parent)
    : DataTaskForm(ctx, QStringLiteral("Importing Data From Last Run ....."), &reload_previous_run, parent)
{
    setObjectName(QStringLiteral("ImportRunData"));
}
