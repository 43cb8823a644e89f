// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/MarkPath.h"

#include "camera/MarkLevels.h"

#include <cmath>
#include <numbers>

namespace {
// A movement must lie this close to the mark's path (cosine of the angle between them) to tell its turn.
constexpr double AlongPath = 0.5;

double length(const Movement& m)
{
    return std::hypot(m.dx, m.dy);
}

MarkPlace centre(const std::vector<MarkPlace>& places, std::size_t from, std::size_t to)
{
    MarkPlace c;
    for (std::size_t i = from; i < to; ++i) {
        c.x += places[i].x * places[i].weight;
        c.y += places[i].y * places[i].weight;
        c.weight += places[i].weight;
    }
    if (c.weight > 0) {
        c.x /= c.weight;
        c.y /= c.weight;
    }
    return c;
}
} // namespace

double Movement::degrees() const
{
    return std::atan2(dy, dx) * 180.0 / std::numbers::pi;
}

void MarkPath::add(const MarkPlace& place)
{
    if (place.weight > 0)
        m_places.push_back(place);
}

std::optional<Movement> MarkPath::movement() const
{
    const std::size_t n = m_places.size();
    if (n < 2)
        return std::nullopt;
    const std::size_t third = (n + 2) / 3;
    const MarkPlace first = centre(m_places, 0, third);
    const MarkPlace last = centre(m_places, n - third, n);
    return Movement{last.x - first.x, last.y - first.y};
}

std::optional<Turn> MarkPath::turn(double forwardDegrees) const
{
    const double angle = forwardDegrees * std::numbers::pi / 180.0;
    std::vector<double> steps;
    for (std::size_t i = 1; i < m_places.size(); ++i)
        steps.push_back((m_places[i].x - m_places[i - 1].x) * std::cos(angle) +
                        (m_places[i].y - m_places[i - 1].y) * std::sin(angle));
    if (steps.empty())
        return std::nullopt;
    if (const double step = medianOf(steps); std::abs(step) >= LeastMove)
        return step > 0 ? Turn::Forward : Turn::Backward;
    return turnOf(*movement(), forwardDegrees);
}

std::optional<Turn> MarkPath::turnOf(const Movement& movement, double forwardDegrees)
{
    const double angle = forwardDegrees * std::numbers::pi / 180.0;
    const double along = movement.dx * std::cos(angle) + movement.dy * std::sin(angle);
    if (std::abs(along) < LeastMove || std::abs(along) < AlongPath * length(movement))
        return std::nullopt;
    return along > 0 ? Turn::Forward : Turn::Backward;
}

std::optional<double> CommonDirection(const std::vector<Movement>& movements)
{
    Movement sum;
    for (const Movement& m : movements)
        if (const double l = length(m); l >= MarkPath::LeastMove) {
            sum.dx += m.dx / l;
            sum.dy += m.dy / l;
        }
    if (length(sum) == 0)
        return std::nullopt;
    for (const Movement& m : movements)
        if (length(m) >= MarkPath::LeastMove && m.dx * sum.dx + m.dy * sum.dy < 0)
            return std::nullopt;
    return sum.degrees();
}
