// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

struct AppContext;
struct GlobalSettings;

// The three operations of the main window's File menu that act on the whole program.
enum class WholeProgramOperation
{
    Exit,
    LoadFactoryDefaults,
    SaveAllSettings
};

// Refuses the operation while the camera, the logging or a trip runs (checked in that order, one OK
// message), otherwise asks the operation's Yes/No question. True only when the user answered Yes.
bool ConfirmWholeProgramOperation(AppContext& ctx, WholeProgramOperation op);

// All four groups back to factory values, in the order advanced, logging, meter, camera, then the extra
// files. Memory only.
void LoadAllFactoryDefaults(GlobalSettings& settings);

// Writes the camera, logging, meter and advanced files in that order, then the extra files. Each failure gets its own
// message and does not stop the later files.
void SaveAllSettingsFiles(AppContext& ctx);
