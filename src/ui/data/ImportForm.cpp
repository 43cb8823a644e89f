// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/data/ImportForm.h"

#include "data/DataImport.h"

ImportForm::ImportForm(MeteringContext& ctx, QWidget* parent)
    : DataTaskForm(ctx, QStringLiteral("Importing Data ..."), &import_logged_data, parent)
{
    setObjectName(QStringLiteral("ImportForm"));
    setWindowModality(Qt::ApplicationModal);
}
