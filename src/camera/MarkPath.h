// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/PulseSignal.h"

#include <optional>
#include <vector>

// Where the mark lies in one frame: the centre of the cells it changes, each weighted by how much, in fractions of
// the picture (x to the right, y downwards).
struct MarkPlace
{
    double x = 0.0;
    double y = 0.0;
    double weight = 0.0;
};

// A movement across the picture, in fractions of it.
struct Movement
{
    double dx = 0.0;
    double dy = 0.0;
    // Degrees: 0 to the right, 90 downwards.
    double degrees() const;
};

// The frames of one pass of the mark, in the order they were taken: which way it moved from where its first frames
// showed it to where its last did. The mark enters the view on one side and leaves on the other, so even its
// partly covered first and last frames lie on the side it came from and the side it went to.
class MarkPath
{
public:
    // The least movement along the forward direction that tells a turn: well over the centre's wander from noise and
    // the mark's blur, well under the way a mark crosses a view that holds it for two frames.
    static constexpr double LeastMove = 0.04;

    void add(const MarkPlace& place);
    int frames() const { return int(m_places.size()); }
    void clear() { m_places.clear(); }
    // From the first third of its frames to the last third; none with fewer than two frames.
    std::optional<Movement> movement() const;
    // Which way the mark went, forward being `forwardDegrees`; none when it does not tell. A fast mark moves far from
    // frame to frame: the middle of its steps along the path tells, even where the frames of the mark before or after
    // it joined its pass. A slow one moves little between frames and is judged from its first frames to its last.
    std::optional<Turn> turn(double forwardDegrees) const;
    // Which way a movement went; none when it is too short, or mostly across the mark's path (a light changing
    // rather than a mark moving).
    static std::optional<Turn> turnOf(const Movement& movement, double forwardDegrees);

private:
    std::vector<MarkPlace> m_places;
};

// The mean direction in degrees of the movements long enough to tell one, each counted once whatever its length; none
// when they do not agree (one more than a right angle from the mean) or there are none.
std::optional<double> CommonDirection(const std::vector<Movement>& movements);
