// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/data/DataTaskForm.h"

// The export window: asks for a file and writes the records in memory to it.
class ExportForm : public DataTaskForm
{
    Q_OBJECT
public:
    explicit ExportForm(MeteringContext& ctx, QWidget* parent = nullptr);
};
