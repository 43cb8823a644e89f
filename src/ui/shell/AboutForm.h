// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

// Product name, web address, version and copyright, one per label. It has no button: the user closes it
// by its window frame (or Escape).
class AboutForm : public QDialog
{
    Q_OBJECT
public:
    explicit AboutForm(QWidget* parent = nullptr);
};
