// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/RegisterRegion.h"
#include "capture/SimulatedRegister.h"

#include <QImage>
#include <cstdint>
#include <vector>

struct SimulatedMeterSettings
{
    enum class Mark
    {
        Black,      // dark mark on a silver disc
        Red,        // red paint on a silver disc: the red channel hardly changes
        LightOnDark // white mark on a dark disc
    };

    double powerWatts = 1000.0; // below 0 the disc turns backwards, as while a home exports
    double revsPerKWh = 300.0;  // the meter constant in use; the meter's camera sets it from the meter settings
    double noise = 6.0;         // standard deviation of the sensor noise, grey levels
    double drift = 0.05;        // amplitude of the slow ambient-light change, fraction of the light
    double driftPeriod = 600.0; // seconds
    bool flicker = false;       // random per-frame light change of up to 6 %
    // Lamps on the mains flicker at twice its frequency (100 or 120 Hz; 0: none): the light, the plain light on
    // average, dips by flickerDepth where the mains crosses zero, and a shutter shorter than a flicker's cycle
    // catches it at a different moment in every frame.
    double flickerHz = 0.0;
    double flickerDepth = 0.6;
    // A light switched on (factor above 1) or off (below) at lightStepAt seconds (negative: never); the camera's
    // exposure then takes the picture back towards where it was, leaving lightStepKept of the change after
    // lightStepRecovery seconds (an exponential settling, a third of that its time constant).
    double lightStepAt = -1.0;
    double lightStepFactor = 1.6;
    double lightStepKept = 0.1;
    double lightStepRecovery = 2.0;
    double markContrast = 1.0; // how far the mark goes from the disc's shade to its own: 1 a fresh mark, less worn
    double viewFraction = 1.0 / 6.0; // share of the disc's circumference in view
    double markWidth = 0.4;          // width of the mark as a fraction of the view
    double exposure = 0.02;          // seconds the shutter is open, centred on the frame time: the mark blurs
    Mark mark = Mark::Black;
    double bandTop = 0.1; // the disc's edge as a band across the picture: top and height, fractions of it
    double bandHeight = 0.8;
    bool hotSpot = false; // a lamp's reflection on the meter's glass, over the left part of the band
    // The camera turned about its axis: 0 shows the band across the picture with the mark moving right, 90 the band
    // upright with the mark moving down, negative angles tilt the other way. The band crosses the whole picture with
    // the plate beside it; the view is the picture's extent along the mark's path through the picture's centre.
    double angleDegrees = 0.0;
    // The register's number wheels in a window on the plate, its place fractions of the picture; the band then sits
    // below it. Off unless asked for.
    bool registerShown = false;
    double registerKWh = 0.0; // the reading at time 0
    int registerDigits = 6;
    int registerDecimals = 1;
    double registerX = 0.29;
    double registerY = 0.04;
    double registerWidth = 0.42;
    double registerHeight = 0.16;
    bool registerGlare = false; // a lamp's soft reflection over part of the window
    double registerBlur = 0.0;  // radius in pixels of a lens out of focus
    int width = 320;
    int height = 240;
};

// Renders what a camera aimed at the edge of a meter disc sees: the disc's edge as a band between two strips
// of the meter's front plate, with one mark crossing the view once per revolution. At time 0 the mark is half
// a turn away. Each pixel shows the scene at its place turned by the camera's angle about the picture's centre.
class SimulatedMeter
{
public:
    explicit SimulatedMeter(const SimulatedMeterSettings& s = {}, std::uint32_t seed = 1);

    void setSettings(const SimulatedMeterSettings& s);
    const SimulatedMeterSettings& settings() const { return m_s; }

    // Seconds per revolution at the set power; 0 when the disc stands still.
    double revolutionPeriod() const;
    // Seconds after time 0 at which the mark's centre crosses the centre of the view for revolution k (0-based).
    double markCentreTime(int k) const;
    // Seconds the mark takes to cross the view, from its leading edge entering to its trailing edge leaving.
    double passDuration() const;

    // The disc's turns from time 0 to `seconds`, backwards ones negative, each at the power set when the frame that
    // reached it was rendered: a power changed between frames moves the disc on from where it was, as a real disc
    // slows, stops and turns the other way.
    double turnsAt(double seconds);
    // One frame at `seconds` after time 0, Format_RGB32.
    QImage render(double seconds);
    // How bright the scene is at `seconds` as the camera records it over its exposure, 1 the plain light: the slow
    // drift, a light switched on or off and the camera taking it back, a lamp's flicker. Without the random flicker.
    double lightAt(double seconds) const;

    // The register's reading at `seconds`: its reading at time 0 plus the disc's turns since, backwards ones taken off.
    double registerReadingAt(double seconds);
    // Where the register's window is in the picture: the camera's angle moves it about the picture's centre.
    RegisterRegion registerRegion() const;

private:
    // A pixel of the picture that shows the register, and its place in the register's own picture.
    struct RegisterSample
    {
        std::size_t pixel;
        float x, y;
    };

    void buildBase();
    void buildRegister(double angle);
    void drawRegister(QImage& img, float light, double kWh);
    // How much of the band the mark covers along its path at the last time rendered, averaged over the exposure:
    // a sample every CoverStep pixels from m_coverFrom.
    std::vector<float> markCover() const;
    // Signed: below 0 the disc turns backwards.
    double turnsPerSecond() const;
    double noiseSample();

    SimulatedMeterSettings m_s;
    std::uint32_t m_rng;
    std::vector<float> m_base;    // band texture, grey levels per pixel
    std::vector<float> m_coverAt; // per pixel: its place among markCover's samples, -1 off the band
    std::vector<float> m_spot;    // grey levels the reflection adds per pixel
    std::vector<float> m_gauss;
    std::size_t m_gaussPos = 0;
    double m_viewLength = 1.0; // pixels along the mark's path
    double m_coverFrom = 0.0;  // the first sample, pixels along the path from the view's start
    std::size_t m_coverSize = 0;
    SimulatedRegister m_register;
    std::vector<RegisterSample> m_registerSamples;
    double m_turns = 0.5; // the mark half a turn away at time 0
    double m_turnsAt = 0.0;
};
