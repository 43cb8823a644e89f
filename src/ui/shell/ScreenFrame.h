// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// A screen may sit inside an MDI frame, inside the dialog that runs it modally, or be a window of its own.
// Hiding or closing only the inner widget would leave an empty frame behind, so a screen that hides or
// closes itself does it through these.
QWidget& screenFrame(QWidget& screen);
void showScreenFrame(QWidget& screen);
void hideScreenFrame(QWidget& screen);
void closeScreenFrame(QWidget& screen);
