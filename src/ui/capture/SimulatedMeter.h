// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

    double powerWatts = 1000.0;
    double revsPerKWh = 300.0;       // the meter constant in use; the camera screen sets it from the meter settings
    double noise = 6.0;              // standard deviation of the sensor noise, grey levels
    double drift = 0.05;             // amplitude of the slow ambient-light change, fraction of the light
    double driftPeriod = 600.0;      // seconds
    bool flicker = false;            // random per-frame light change of up to 6 %
    double viewFraction = 1.0 / 6.0; // share of the disc's circumference in view
    double markWidth = 0.4;          // width of the mark as a fraction of the view
    double exposure = 0.02;          // seconds the shutter is open, centred on the frame time: the mark blurs
    Mark mark = Mark::Black;
    double bandTop = 0.1; // the disc's edge as a band across the picture: top and height, fractions of it
    double bandHeight = 0.8;
    bool hotSpot = false; // a lamp's reflection on the meter's glass, over the left part of the band
    int width = 320;
    int height = 240;
};

// Renders what a camera aimed at the edge of a meter disc sees: the disc's edge as a band between two strips
// of the meter's front plate, with one mark crossing the view once per revolution. At time 0 the mark is half
// a turn away.
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

    // One frame at `seconds` after time 0, Format_RGB32.
    QImage render(double seconds);

private:
    void buildBase();
    // How much of each column the mark covers, averaged over the exposure.
    std::vector<float> markCover(double seconds) const;
    double noiseSample();

    SimulatedMeterSettings m_s;
    std::uint32_t m_rng;
    std::vector<float> m_base; // band texture, grey levels per pixel
    std::vector<float> m_spot; // grey levels the reflection adds per pixel
    std::vector<float> m_gauss;
    std::size_t m_gaussPos = 0;
    int m_bandTop = 0;
    int m_bandBottom = 0;
};
