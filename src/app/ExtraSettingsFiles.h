// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/SettingsFile.h"

#include <span>

// The registry of the declared extra settings files: a new file is one declaration and one line here.
// Every declared extra file, in the order they are created, read and saved (after the four original files).
std::span<const SettingsFile* const> ExtraSettingsFiles();
