// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/data/ExportForm.h"

#include "data/DataExport.h"

ExportForm::ExportForm(MeteringContext& ctx, QWidget* parent)
    : DataTaskForm(ctx, QStringLiteral("Exporting Data ..."), &export_logged_data, parent)
{
    setObjectName(QStringLiteral("ExportForm"));
    setWindowModality(Qt::ApplicationModal);
}
