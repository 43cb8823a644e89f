// SPDX-License-Identifier: GPL-3.0-or-later
#include "CameraScreens.h"
#include "app/RegisterSettings.h"
#include "app/SettingsFile.h"
#include "capture/SimulatedMeter.h"
#include "ui/capture/CapturePreviewWidget.h"
#include "ui/support/RunningApp.h"

#include <QSpinBox>
#include <cmath>

namespace {

class RegisterRegionScreen : public CameraScreensTest
{
protected:
    QWidget* preview() { return child<QWidget>(&form, "CapturePreview"); }
    QSpinBox* spin(const char* name) { return child<QSpinBox>(&form, name); }
    // The pixel of the live picture at these fractions of it, however large it is shown.
    QPoint at(double x, double y)
    {
        return {int(std::lround(x * preview()->width())), int(std::lround(y * preview()->height()))};
    }
    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(preview(), Qt::LeftButton, {}, from);
        QTest::mouseMove(preview(), (from + to) / 2);
        QTest::mouseMove(preview(), to);
        QTest::mouseRelease(preview(), Qt::LeftButton, {}, to);
    }
    const QString& region() { return t.ctx.settings.REGISTER_REGION; }
};

TEST_F(RegisterRegionScreen, ARegionTypedOrDrawnTakesEffectAtOnceShowsOnThePictureAndIsSavedWithTheCameraSettings)
{
    open();
    startOrStopCamera(form, true);
    ASSERT_TRUE(frames.run(0.5));
    ASSERT_EQ(std::tuple(preview()->width() % 20, preview()->height() % 20), std::tuple(0, 0));

    // A refused region says why and leaves the one in use, none.
    retype(field("edtRegisterRegion"), QStringLiteral("0.5,0.5,0.6,0.1"));
    press("butOKRegisterRegion");
    EXPECT_EQ(t.dialogs.texts(), QStringList{"The register region reaches beyond the picture."});
    EXPECT_EQ(region() + '|' + field("edtRegisterRegion")->text(), "|");

    retype(field("edtRegisterRegion"), QStringLiteral(" 0.1, 0.2,0.5,0.25"));
    QTest::keyClick(field("edtRegisterRegion"), Qt::Key_Return);
    EXPECT_EQ(region(), "0.1,0.2,0.5,0.25");

    // The decimals stay fewer than the wheels.
    spin("spnRegisterDigits")->setValue(5);
    spin("spnRegisterDecimals")->setValue(3);
    spin("spnRegisterDigits")->setValue(2);
    EXPECT_EQ(std::tuple(t.ctx.settings.REGISTER_DIGITS, t.ctx.settings.REGISTER_DECIMALS), std::tuple(2, 1));
    spin("spnRegisterDigits")->setValue(7);

    // A click is no region; a drag, here from the lower right, is: in fractions of the picture, both corners inside.
    press("butDrawRegion");
    drag(at(0.3, 0.3), at(0.3, 0.3));
    EXPECT_EQ(region(), "0.1,0.2,0.5,0.25");
    EXPECT_TRUE(button("butDrawRegion")->isChecked());
    drag(at(0.8, 0.2) - QPoint(1, 1), at(0.2, 0.05));
    EXPECT_EQ(region(), "0.2,0.05,0.6,0.15");
    EXPECT_EQ(field("edtRegisterRegion")->text(), region());
    EXPECT_FALSE(button("butDrawRegion")->isChecked()) << "one drag draws one region";
    ASSERT_TRUE(frames.run(0.2));
    const QColor outline = preview()->grab().toImage().pixelColor(at(0.2, 0.1)); // on the left edge
    EXPECT_TRUE(outline.red() > 200 && outline.blue() < 80) << qPrintable(outline.name());

    startOrStopCamera(form, false);
    press("butSaveAllSettings");
    const QString file = SettingsFilePath(t.ctx, RegisterSettingsFile());
    EXPECT_TRUE(fileBytes(file).startsWith(
        "[Register]\r\nREGISTER_REGION=0.2,0.05,0.6,0.15\r\nREGISTER_DIGITS=7\r\nREGISTER_DECIMALS=1\r\n"));
    press("butClearRegion");
    EXPECT_EQ(region() + '|' + field("edtRegisterRegion")->text(), "|");
    press("butLoadFactoryDefaults");
    EXPECT_EQ(std::tuple(spin("spnRegisterDigits")->value(), spin("spnRegisterDecimals")->value()), std::tuple(6, 1));
    EXPECT_EQ(t.dialogs.texts(), QStringList{"The register region reaches beyond the picture."});

    // The simulated meter's own register, outlined.
    SimulatedMeterSettings meter = capture().simulatedMeterSettings();
    std::tie(meter.registerShown, meter.registerKWh) = std::tuple(true, 28687.62);
    capture().setSimulatedMeterSettings(meter);
    retype(field("edtRegisterRegion"), SimulatedMeter(meter).registerRegion().toString());
    press("butOKRegisterRegion");
    startOrStopCamera(form, true);
    ASSERT_TRUE(frames.run(0.5));
    screenshotIfWanted(&form, "CameraForm-register.png");
}

} // namespace
