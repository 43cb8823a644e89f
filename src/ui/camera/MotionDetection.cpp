// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/camera/MotionDetection.h"

#include "app/Dialogs.h"
#include "camera/MarkDetector.h"
#include "capture/CaptureComponent.h"
#include "metering/MeteringContext.h"
#include "ui/capture/CaptureDialogs.h"
#include "ui/setup/ConfirmedNumberField.h"
#include "ui/setup/FieldCaption.h"
#include "ui/setup/NumericFieldBinding.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// Larger grids still detect, but their cells would be too small to click in the editor.
constexpr int EditableGridLimit = 30;

QPlainTextEdit* fixedPitchMemo(const QString& name, QWidget* parent)
{
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(name);
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetrics fm(memo->font());
    memo->setMinimumSize(fm.horizontalAdvance(QLatin1Char('0')) * 41 + 12, fm.lineSpacing() * 10 + 12);
    return memo;
}

// The component ends lines with CR LF, which the memo keeps as plain line breaks: compared as the memo holds
// them, so an unchanged text is not set again on every frame (which would also scroll the memo back up).
void setMemoIfChanged(QPlainTextEdit* memo, QString text)
{
    text.remove(QLatin1Char('\r'));
    if (memo->toPlainText() != text)
        memo->setPlainText(text);
}
} // namespace

MotionDetection::MotionDetection(MeteringContext& ctx, CaptureComponent& capture, MarkDetector& detector,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx), m_capture(capture), m_detector(detector),
      m_binding(new NumericFieldBinding(ctx.services.dialogs, this))
{
    setObjectName(QStringLiteral("MotionDetection"));
    setWindowTitle(QStringLiteral("Mark Detection"));
    buildControls();
    loadSettings();
    refresh();
}

void MotionDetection::buildControls()
{
    auto* colours = new QGroupBox(QStringLiteral("Colours Detected"), this);
    colours->setObjectName(QStringLiteral("grbColoursDetected"));
    colours->setToolTip(QStringLiteral(
        "Select which colours need to be monitored to detect the mark. For example if the mark is red choose the "
        "green channel and not the red channel, if black, use all colours."));
    m_red = new QCheckBox(QStringLiteral("red"), colours);
    m_red->setObjectName(QStringLiteral("chkCompareRed"));
    m_green = new QCheckBox(QStringLiteral("green"), colours);
    m_green->setObjectName(QStringLiteral("chkCompareGreen"));
    m_blue = new QCheckBox(QStringLiteral("blue"), colours);
    m_blue->setObjectName(QStringLiteral("chkCompareBlue"));
    auto* colourRow = new QHBoxLayout(colours);
    for (QCheckBox* box : {m_red, m_green, m_blue}) {
        colourRow->addWidget(box);
        connect(box, &QCheckBox::clicked, this, &MotionDetection::onColourClicked);
    }

    m_invert = new QCheckBox(QStringLiteral("Invert video signal level"), this);
    m_invert->setObjectName(QStringLiteral("chkInvertSignalFlag"));
    m_invert->setToolTip(QStringLiteral(
        "Usually meter disks are silver (bright) with a dark mark. If yours is dark with a light mark you need to "
        "select this feature otherwise you won't be able to set a trigger level."));
    connect(m_invert, &QCheckBox::clicked, this, [this](bool on) { m_ctx.settings.INVERT_IMAGE_INTENSITY = on; });

    m_reduceNoise = new QCheckBox(QStringLiteral("reduce video noise"), this);
    m_reduceNoise->setObjectName(QStringLiteral("chkReduceVideoNoise"));
    m_reduceNoise->setToolTip(
        QStringLiteral("Use this to clean up the image. Usually it's a good idea to select this feature"));
    connect(m_reduceNoise, &QCheckBox::clicked, this, [this](bool on) {
        m_ctx.settings.REDUCE_VIDEO_NOISE = on;
        m_capture.setReduceNoise(on);
    });

    auto* factor = new ConfirmedNumberField(
        m_ctx.services.dialogs, *m_binding,
        {QStringLiteral("edtIntensityFactor"), QStringLiteral("UpDown1"), QStringLiteral("butOkIntensityFactor")},
        {1, 1000000}, {1, 100000}, this);
    m_intensityFactor = factor->field();
    m_intensityFactor->setToolTip(QStringLiteral(
        "This is a multiplication factor which lets you scale the Image Intensity Level up or down to make it "
        "easier to find a working range for the Mark Triggering Level."));
    factor->applied = [this](qint32 value) { m_ctx.settings.IMAGE_INTENSITY_FACTOR = value; };
    auto* factorLabel = new QLabel(QStringLiteral("Intensity Factor"), this);
    captionField(factorLabel, m_intensityFactor);

    auto* levelFrame = new QGroupBox(QStringLiteral("Image Intensity Level"), this);
    levelFrame->setObjectName(QStringLiteral("grbImageIntensityLevel"));
    m_signalLevel = new QLineEdit(levelFrame);
    m_signalLevel->setObjectName(QStringLiteral("edtSignalLevel"));
    m_signalLevel->setReadOnly(true);
    m_signalLevel->setAccessibleName(QStringLiteral("Image Intensity Level"));
    m_signalLevel->setMaximumWidth(110);
    m_signalLevel->setToolTip(QStringLiteral("Same as the field on the Camera Setup Form. Typically adjust the "
                                             "Intensity Factor above to give values of 1000 to 5000 here."));
    auto* levelLayout = new QHBoxLayout(levelFrame);
    levelLayout->addWidget(m_signalLevel);
    levelLayout->addStretch();

    m_gridDialog = new QPushButton(QStringLiteral("Alter Image Detection Mask"), this);
    m_gridDialog->setObjectName(QStringLiteral("btnShowGridDialog"));
    m_gridDialog->setToolTip(QStringLiteral(
        "Select this to adjust the area of the image sensitive to motion and light levels. See help for detailed "
        "instruction. Typically you will reduce the active area to a part of the meter disk."));
    connect(m_gridDialog, &QPushButton::clicked, this, &MotionDetection::editGrid);

    m_sensitivityGrid = fixedPitchMemo(QStringLiteral("mmoSensitivityGrid"), this);
    m_sensitivityGrid->setToolTip(QStringLiteral(
        "Shows the active area of the image. 0's show inactive areas. Max value of 9 in a cell (recommended) means "
        "the image is very sensitive to change in that region. 5 is default but often too low."));
    m_motionGrid = fixedPitchMemo(QStringLiteral("mmoMotionGrid"), this);
    m_motionGrid->setToolTip(QStringLiteral(
        "Shows the image values in the active cells. You will notice these change as the disk rotates."));
    auto* maskLabel = new QLabel(QStringLiteral("Image Motion Detection Mask"), this);
    maskLabel->setBuddy(m_sensitivityGrid);
    auto* changesLabel = new QLabel(QStringLiteral("Image Changes"), this);
    changesLabel->setBuddy(m_motionGrid);

    auto* settings = new QVBoxLayout;
    settings->addWidget(colours);
    settings->addWidget(m_invert);
    settings->addWidget(m_reduceNoise);
    auto* factorRow = new QHBoxLayout;
    factorRow->addWidget(factorLabel);
    factorRow->addWidget(factor);
    settings->addLayout(factorRow);
    settings->addWidget(levelFrame);
    settings->addWidget(m_gridDialog);
    settings->addStretch();

    auto* grids = new QGridLayout;
    grids->addWidget(maskLabel, 0, 0);
    grids->addWidget(m_sensitivityGrid, 1, 0);
    grids->addWidget(changesLabel, 0, 1);
    grids->addWidget(m_motionGrid, 1, 1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(settings);
    layout->addLayout(grids, 1);
}

void MotionDetection::loadSettings()
{
    const GlobalSettings& s = m_ctx.settings;
    m_red->setChecked(s.DETECT_RED);
    m_green->setChecked(s.DETECT_GREEN);
    m_blue->setChecked(s.DETECT_BLUE);
    m_reduceNoise->setChecked(s.REDUCE_VIDEO_NOISE);
    m_invert->setChecked(s.INVERT_IMAGE_INTENSITY);
    m_intensityFactor->setText(QString::number(s.IMAGE_INTENSITY_FACTOR));
}

void MotionDetection::refresh()
{
    const MarkDetectorDisplay& d = m_detector.display();
    if (m_signalLevel->text() != d.edtSignalLevel)
        m_signalLevel->setText(d.edtSignalLevel);
    setMemoIfChanged(m_motionGrid, d.mmoMotionGrid);
    setMemoIfChanged(m_sensitivityGrid, m_capture.gridDisplayText());
}

void MotionDetection::reloadSettings()
{
    loadSettings();
    refresh();
}

void MotionDetection::onColourClicked()
{
    GlobalSettings& s = m_ctx.settings;
    s.DETECT_RED = m_red->isChecked();
    s.DETECT_GREEN = m_green->isChecked();
    s.DETECT_BLUE = m_blue->isChecked();
    m_capture.setCompareRed(s.DETECT_RED);
    m_capture.setCompareGreen(s.DETECT_GREEN);
    m_capture.setCompareBlue(s.DETECT_BLUE);
}

void MotionDetection::editGrid()
{
    Dialogs& dialogs = m_ctx.services.dialogs;
    if (!is_camera_running(m_capture)) {
        dialogs.message(QStringLiteral("The camera needs to be running to access this"));
        return;
    }
    if (!m_capture.motionDetection()) {
        dialogs.message(QStringLiteral("Fatal error. Motion detection not enabled."));
        return;
    }
    if (m_capture.gridColumns() > EditableGridLimit || m_capture.gridRows() > EditableGridLimit) {
        dialogs.message(
            QStringLiteral("You cannot edit the grid with this feature, it must be set in the config file"));
        return;
    }
    m_capture.setMotionDetection(false);
    showGridEditor(m_capture, this);
    m_capture.setMotionDetection(true);
    m_ctx.settings.DETECTION_GRID = m_capture.detectionGrid();
    setMemoIfChanged(m_sensitivityGrid, m_capture.gridDisplayText());
    if (!parse_grid_string(m_ctx.settings.DETECTION_GRID, m_detector.varActiveCells()))
        dialogs.message(
            QStringLiteral("No cells are active, the mark will not be detected. Please reselect the active area"));
}
