// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QComboBox;

// Refills dest from a component list in which every item is followed by CR LF; text after the last CR is not
// an item. At most maxIndxLimit items are taken (no limit below 1). When 0 <= indx < item count, item indx is
// selected and dest's activated signal is raised, so the list's handler runs as for a user's choice.
void AssignListToComboBox(QComboBox& dest, const QString& source, int indx, int maxIndxLimit = 0);

// Shows text in a list: selects the item with that text, or, when there is none, clears the selection and
// shows the text in its place. An empty text leaves the list as it is.
void showComboBoxText(QComboBox& box, const QString& text);
