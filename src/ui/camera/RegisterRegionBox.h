// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGroupBox>

class CapturePreviewWidget;
class Dialogs;
class QLineEdit;
class QPushButton;
class QSpinBox;
struct GlobalSettings;
struct RegisterRegion;

// Camera Setup's "Register" group: where the register's number wheels are in the picture, typed or dragged out on
// the live picture, and how many wheels there are. Each change takes effect in the settings at once and shows on
// the picture; the file is written with the camera settings.
class RegisterRegionBox : public QGroupBox
{
    Q_OBJECT

public:
    // `settings` and `preview` must outlive the box.
    RegisterRegionBox(GlobalSettings& settings, Dialogs& dialogs, CapturePreviewWidget& preview,
                      QWidget* parent = nullptr);

    // The fields from the settings in use.
    void reload();

private:
    void confirmTyped();
    void setRegion(const QString& text);
    void setDigits(int digits);
    void showOnPreview();

    GlobalSettings& m_settings;
    Dialogs& m_dialogs;
    CapturePreviewWidget& m_preview;
    QLineEdit* m_region;
    QSpinBox* m_digits;
    QSpinBox* m_decimals;
    QPushButton* m_draw;
};
