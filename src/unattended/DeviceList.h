// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The position of an item in a capture component's list (items each ended by CR LF), or -1. Devices are
// found again by name, since their order can change from one start to the next.
int listItemIndex(const QString& list, const QString& item);
// The item at that position, or "" when there is none.
QString listItemAt(const QString& list, int index);
