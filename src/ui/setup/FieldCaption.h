// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QLabel;
class QWidget;

// Ties a caption to its field: a screen reader announces the field by the caption's text, and a marked
// letter in the caption moves the focus there with Alt. Qt looks for the caption only among the field's
// siblings, so a field inside a row widget (with its up-down and OK) is given the caption's text itself.
void captionField(QLabel* caption, QWidget* field);
