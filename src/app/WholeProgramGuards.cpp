// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WholeProgramGuards.h"

#include "app/AppContext.h"
#include "app/ConfigFiles.h"
#include "app/Dialogs.h"
#include "app/ExtraSettingsFiles.h"
#include "app/SettingsFile.h"

namespace {
struct GuardTexts
{
    const char* camera;
    const char* logging;
    const char* trip;
    const char* question;
};

GuardTexts textsFor(WholeProgramOperation op)
{
    switch (op) {
    case WholeProgramOperation::Exit:
        return {"Please stop the camera before trying to exit this application",
                "You are currently logging data. Please stop this before trying to exit this application",
                "You are currently running a trip display. Please stop this before trying to exit this application",
                "Are you sure you wish to close the application"};
    case WholeProgramOperation::LoadFactoryDefaults:
        return {"Please stop the camera before trying to load the factory defaults",
                "You are currently logging data. Please stop this before trying to load the factory defaults",
                "You are currently running a trip display. Please stop this before trying to load the factory "
                "defaults",
                "Are you sure you wish to reset all settings to their factory defaults?"};
    case WholeProgramOperation::SaveAllSettings:
        break;
    }
    return {"Please stop the camera before trying to save settings",
            "You are currently logging data. Please stop this before trying to save settings",
            "You are currently running a trip display. Please stop this before trying to save settings",
            "Are you sure you wish to save all settings to disk?"};
}
} // namespace

bool ConfirmWholeProgramOperation(AppContext& ctx, WholeProgramOperation op)
{
    const GuardTexts t = textsFor(op);
    Dialogs& dialogs = ctx.services.dialogs;
    const char* refusal = ctx.blnGlobalCameraRunning    ? t.camera
                          : ctx.blnGlobalLoggingRunning ? t.logging
                          : ctx.blnGlobalTripRunning    ? t.trip
                                                        : nullptr;
    if (refusal) {
        dialogs.message(QString::fromLatin1(refusal));
        return false;
    }
    return dialogs.message(QString::fromLatin1(t.question), Dialogs::Buttons::YesNo) == Dialogs::Answer::Yes;
}

void LoadAllFactoryDefaults(GlobalSettings& settings)
{
    SettingsDefaults::AdvancedFactoryDefaults(settings);
    SettingsDefaults::LoggingFactoryDefaults(settings);
    SettingsDefaults::MeterFactoryDefaults(settings);
    SettingsDefaults::CameraFactoryDefaults(settings);
    for (const SettingsFile* file : ExtraSettingsFiles())
        ApplyFactoryDefaults(*file, settings);
}

void SaveAllSettingsFiles(AppContext& ctx)
{
    struct Step
    {
        QString (*save)(AppContext&);
        const char* prefix;
    };
    static constexpr Step steps[] = {
        {&SaveCameraSettings, "Problem saving camera settings: "},
        {&SaveLoggingSettings, "Problem saving logging settings: "},
        {&SaveMeterSettings, "Problem saving meter settings: "},
        {&SaveAdvancedSettings, "Problem saving advanced settings: "},
    };
    for (const Step& step : steps) {
        const QString error = step.save(ctx);
        if (!error.isEmpty())
            ctx.services.dialogs.message(QString::fromLatin1(step.prefix) + error, Dialogs::Buttons::Ok,
                                         Dialogs::Icon::Exclamation);
    }
    for (const SettingsFile* file : ExtraSettingsFiles()) {
        const QString error = SaveSettingsFile(ctx, *file);
        if (!error.isEmpty())
            ctx.services.dialogs.message(SettingsFileSaveProblem(*file) + error, Dialogs::Buttons::Ok,
                                         Dialogs::Icon::Exclamation);
    }
}
