// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <optional>
#include <vector>

// Times a fast disc's revolution by where its mark lies along the columns of cells. When the mark crosses the
// cells within a frame or so, the cells' intensity says little about when between two frames it came, but the
// columns it covers say where it is: its edges move across them at a steady speed, so the time the mark took
// to come back to where the last one was seen is the frames' time less the distance between the two, over
// that speed. A mark that moves along the columns rather than across them, or a single column, tells nothing: the
// detector keeps one of these along the columns and one along the rows.
class MarkPositions
{
public:
    // Frames kept to learn each column's plain and mark values: a revolution and a half of a disc turning in 24.
    static constexpr std::size_t Kept = 40;
    // Beyond this two frames are no neighbours: the later is the first after a stall, and says nothing of when the
    // mark came between them.
    static constexpr double MaxFrameGap = 0.5; // seconds

    struct Column
    {
        int index;    // the column of the grid (or the row, for a mark moving along the rows)
        double value; // its average value in the frame across the mark's path
    };

    // Takes in a frame taken at clock time `time`, its columns in ascending order. While a mark that just came is
    // in view, its frames measure how fast it moves.
    void frame(double time, const std::vector<Column>& columns);
    // The mark came in the last frame taken, making the values `darker` or lighter: the revolution since the one
    // before, when both were placed (by an edge between two columns, or the mark's middle) and how fast it moves
    // is known, from the frame before this one or the last mark's frames. None otherwise, and when that is
    // further than `slack` seconds from `line`, the revolution timed otherwise (none: not timed).
    std::optional<double> markCame(bool darker, std::optional<double> line, double slack);
    void clear();

private:
    struct Frame
    {
        double time;
        std::vector<Column> columns;
    };
    // Where the mark's edges lie in a frame, in columns; none for an edge outside the columns.
    struct Edges
    {
        double time = 0.0;
        std::optional<double> left;
        std::optional<double> right;
    };
    // Each column's plain value and how far its mark moves it, from the frames kept; none until enough are.
    struct Levels
    {
        std::vector<double> plain;
        std::vector<double> depth;
    };
    void learnLevels();
    Edges edges(const Frame& f) const;
    // Takes in the mark's width from a frame that shows both its edges.
    void learnWidth(const Edges& e);
    // How far the mark moved from one frame to another, in columns: by the edges both show, or else by its
    // middle, placed from either edge and its width.
    std::optional<double> moved(const Edges& from, const Edges& to) const;
    std::optional<double> middle(const Edges& e) const;
    void measureSpeed(const Edges& later);

    std::deque<Frame> m_frames; // newest last
    bool m_darker = true;
    std::optional<Levels> m_levels;    // learnt when a mark comes, for it and the frames it passes in
    std::optional<Edges> m_came;       // the last mark's edges in the frame it came
    std::optional<Edges> m_passLatest; // its edges in the latest frame while it passes
    int m_passFrames = 0;              // frames of it measured so far
    std::vector<double> m_speedSamples;
    std::optional<double> m_speed; // columns a second, signed: the last mark's
    std::deque<double> m_widths;   // the mark's latest widths, in columns
    std::optional<double> m_width; // their median
};
