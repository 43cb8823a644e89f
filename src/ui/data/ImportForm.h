// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/data/DataTaskForm.h"

// The import window: asks before replacing the data in memory, then reads a file the user picks.
class ImportForm : public DataTaskForm
{
    Q_OBJECT
public:
    explicit ImportForm(MeteringContext& ctx, QWidget* parent = nullptr);
};
