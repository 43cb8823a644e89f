// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/data/DataTaskForm.h"

// The previous-run window: reloads the disk backup of the last logging run into the data array.
class ImportRunData : public DataTaskForm
{
    Q_OBJECT
public:
    explicit ImportRunData(MeteringContext& ctx, QWidget* parent = nullptr);
};
