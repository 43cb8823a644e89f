// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

struct MeteringContext;
class MarkDetector;
class NumericFieldBinding;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class CaptureComponent;

// The image settings screen ("Mark Detection"): colour channels, inversion, noise reduction and intensity
// factor, the detection grid with the live cell values, and the component's grid editor. Every change acts
// on the next frame; the settings file changes only when the settings are saved.
class MotionDetection : public QWidget
{
    Q_OBJECT

public:
    MotionDetection(MeteringContext& ctx, CaptureComponent& capture, MarkDetector& detector, QWidget* parent = nullptr);

    // Shows the detector's latest values and the component's grid.
    void refresh();
    // Shows the image settings again after something other than this screen changed them.
    void reloadSettings();

private:
    void buildControls();
    void loadSettings();
    void onColourClicked();
    void applyIntensityFactor();
    void editGrid();

    MeteringContext& m_ctx;
    CaptureComponent& m_capture;
    MarkDetector& m_detector;
    NumericFieldBinding* m_binding;

    QCheckBox* m_red = nullptr;
    QCheckBox* m_green = nullptr;
    QCheckBox* m_blue = nullptr;
    QCheckBox* m_invert = nullptr;
    QCheckBox* m_reduceNoise = nullptr;
    QLineEdit* m_intensityFactor = nullptr;
    QLineEdit* m_signalLevel = nullptr;
    QPlainTextEdit* m_sensitivityGrid = nullptr;
    QPlainTextEdit* m_motionGrid = nullptr;
    QPushButton* m_gridDialog = nullptr;
};
