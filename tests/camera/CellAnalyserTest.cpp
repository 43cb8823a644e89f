// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/CellAnalyser.h"

#include "camera/FramePicture.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>

namespace {
// Which cell a pixel lies in, found by search rather than by the analyser's bound formula.
int cellOf(int pos, int pixels, int cells)
{
    int c = 0;
    while (c + 1 < cells && pos >= (c + 1) * pixels / cells)
        ++c;
    return c;
}

struct RgbImage
{
    int width, height;
    qsizetype stride;
    std::vector<uchar> bytes; // Bgrx32 with padding after each line
    uchar& at(int x, int y, int ch) { return bytes[std::size_t(y * stride + x * 4 + (2 - ch))]; }
    FrameView view() const { return {.width = width, .height = height, .planes = {bytes.data()}, .strides = {stride}}; }
};

RgbImage uniformImage(int w, int h, uchar value)
{
    return {w, h, qsizetype(w) * 4, std::vector<uchar>(std::size_t(w * h * 4), value)};
}

// Pseudo-random colours (a multiplicative hash) in square blocks of `blockSize` pixels.
RgbImage randomImage(int w, int h, unsigned seed, int blockSize = 1)
{
    RgbImage img{w, h, qsizetype(w) * 4 + 12, {}};
    img.bytes.assign(std::size_t(img.stride * h), 0xEE); // padding bytes must never be read as pixels
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int ch = 0; ch < 3; ++ch)
                img.at(x, y, ch) = uchar(
                    (unsigned(((y / blockSize) * w + x / blockSize) * 3 + ch) * 2654435761u + seed * 40503u) >> 13);
    return img;
}

CellTable naiveMeans(RgbImage& img, int cols, int rows)
{
    std::vector<double> sums(std::size_t(cols * rows * 3), 0.0);
    std::vector<int> counts(std::size_t(cols * rows), 0);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const int cell = cellOf(y, img.height, rows) * cols + cellOf(x, img.width, cols);
            ++counts[std::size_t(cell)];
            for (int ch = 0; ch < 3; ++ch)
                sums[std::size_t(cell * 3 + ch)] += img.at(x, y, ch);
        }
    CellTable t{cols, rows, std::vector<quint8>(std::size_t(cols * rows * 3), 0)};
    for (std::size_t i = 0; i < t.rgb.size(); ++i)
        if (counts[i / 3])
            t.rgb[i] = quint8(std::nearbyint(sums[i] / counts[i / 3]));
    return t;
}
} // namespace

TEST(CellAnalyser, MatchesNaiveMeansAtAnySizeAndOverLongRunsGivesNothingForBadFramesAndDropsSpikes)
{
    // The last size has more cells than pixels: empty cells read 0 and every pixel still counts exactly once.
    CellAnalyser a;
    for (auto [width, height, cols, rows] : {std::array{37, 23, 5, 4},
                                             {1, 1, 1, 1},
                                             {101, 67, 30, 30},
                                             {13, 7, 13, 7},
                                             {641, 479, 7, 3},
                                             {1203, 5, 1, 2},
                                             {3, 2, 7, 5}}) {
        SCOPED_TRACE(::testing::Message() << width << "x" << height << " in " << cols << "x" << rows);
        RgbImage img = randomImage(width, height, unsigned(width * 31 + cols));
        a.setGrid(cols, rows);
        const CellTable got = a.analyse(img.view());
        EXPECT_EQ(std::tuple(got.columns, got.rows, got.rgb), std::tuple(cols, rows, naiveMeans(img, cols, rows).rgb));
    }

    // Spans far longer than the analyser's internal partial sums can hold in one go.
    RgbImage white = uniformImage(2049, 2, 0xFF);
    for (int columns : {1, 3}) {
        a.setGrid(columns, 1);
        for (quint8 v : a.analyse(white.view()).rgb)
            EXPECT_EQ(v, 255) << columns;
    }

    a.setGrid(2, 2);
    RgbImage img = randomImage(8, 8, 1);
    const CellTable t = a.analyse(img.view());
    EXPECT_EQ(t.value(0, 2, 0) + t.value(0, -1, 0), 0) << "outside the grid";
    FrameView shortLines = img.view(), noPlane = img.view();
    shortLines.strides[0] = 8; // shorter than a line
    noPlane.planes[0] = nullptr;
    for (const FrameView& f : {shortLines, noPlane, FrameView{}})
        EXPECT_TRUE(a.analyse(f).isEmpty()) << f.strides[0];
    a.setGrid(0, 3);
    EXPECT_TRUE(a.analyse(img.view()).isEmpty());

    // One-frame spikes are dropped and steps delayed by one frame.
    RgbImage dark = uniformImage(4, 4, 40), bright = uniformImage(4, 4, 200);
    a.setGrid(1, 1);
    a.setReduceNoise(true);
    std::vector<int> seen;
    for (RgbImage* frame : {&dark, &dark, &bright, &dark, &dark, &bright, &bright, &bright})
        seen.push_back(a.analyse(frame->view()).value(0, 0, 0));
    EXPECT_EQ(seen, (std::vector<int>{40, 40, 40, 40, 40, 40, 200, 200}));
    a.setReduceNoise(false);
    EXPECT_EQ(a.analyse(dark.view()).value(0, 0, 0) + a.analyse(bright.view()).value(0, 0, 0), 240);
}

namespace {
// Where a layout keeps one kind of sample: plane, bytes between neighbours, offset of the first.
struct Sample
{
    int plane, step, offset;
};
struct YuvLayout
{
    PixelFormat format;
    Sample y, u, v;
    int rowsPerChroma; // 2 for 4:2:0, 1 for packed 4:2:2
};

struct YuvFrame
{
    std::vector<uchar> planes[3];
    FrameView view;
};

// The picture in a YUV layout with the given matrix and range; a chroma sample is the mean over its block.
YuvFrame encode(RgbImage& img, const YuvLayout& l, YuvMatrix matrix, bool fullRange)
{
    const double kr = matrix == YuvMatrix::Bt709 ? 0.2126 : 0.299;
    const double kb = matrix == YuvMatrix::Bt709 ? 0.0722 : 0.114;
    const int w = img.width, h = img.height, n = l.rowsPerChroma;
    auto lum = [&](int x, int y) {
        return kr * img.at(x, y, 0) + (1 - kr - kb) * img.at(x, y, 1) + kb * img.at(x, y, 2);
    };
    auto quantise = [&](double v, double offset, double scale) {
        return uchar(std::clamp(std::lround(offset + (fullRange ? v : v * scale / 255)), 0L, 255L));
    };
    // The colour difference of channel `ch` (weight k), averaged over the chroma sample's block.
    auto chroma = [&](int cx, int cy, int ch, double k) {
        double s = 0, count = 0;
        for (int y = cy * n; y < std::min(h, cy * n + n); ++y)
            for (int x = cx * 2; x < std::min(w, cx * 2 + 2); ++x, ++count)
                s += (img.at(x, y, ch) - lum(x, y)) / (2 * (1 - k));
        return quantise(s / count, 128, 224);
    };
    YuvFrame f;
    f.view = {.format = l.format, .width = w, .height = h, .matrix = matrix, .fullRange = fullRange};
    // Padded strides, the chroma planes' other than the luma plane's, so that a reader using the wrong one fails.
    for (int p = 0; p < 3; ++p) {
        f.view.strides[p] = qsizetype(w) * 2 + (p ? 10 : 3);
        f.planes[p].assign(std::size_t(f.view.strides[p] * h), 0);
        f.view.planes[p] = f.planes[p].data();
    }
    auto put = [&](Sample s, int x, int row, uchar v) {
        f.planes[s.plane][std::size_t(row * f.view.strides[s.plane] + x * s.step + s.offset)] = v;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            put(l.y, x, y, quantise(lum(x, y), fullRange ? 0 : 16, 219));
    for (int cy = 0; cy < (h + n - 1) / n; ++cy)
        for (int cx = 0; cx < (w + 1) / 2; ++cx) {
            put(l.u, cx, cy, chroma(cx, cy, 2, kb));
            put(l.v, cx, cy, chroma(cx, cy, 0, kr));
        }
    return f;
}
} // namespace

TEST(CellAnalyser, YuvLayoutsAgreeWithRgbAnalysisOfTheSamePicture)
{
    const YuvLayout yuv420p{PixelFormat::Yuv420p, {0, 1, 0}, {1, 1, 0}, {2, 1, 0}, 2};
    const YuvLayout yv12{PixelFormat::Yv12, {0, 1, 0}, {2, 1, 0}, {1, 1, 0}, 2};
    const YuvLayout nv12{PixelFormat::Nv12, {0, 1, 0}, {1, 2, 0}, {1, 2, 1}, 2};
    const YuvLayout nv21{PixelFormat::Nv21, {0, 1, 0}, {1, 2, 1}, {1, 2, 0}, 2};
    const YuvLayout yuyv{PixelFormat::Yuyv, {0, 2, 0}, {0, 4, 1}, {0, 4, 3}, 1};
    const YuvLayout uyvy{PixelFormat::Uyvy, {0, 2, 1}, {0, 4, 0}, {0, 4, 2}, 1};
    const std::tuple<YuvLayout, YuvMatrix, bool> cases[] = {
        {yuv420p, YuvMatrix::Bt601, false}, {yuv420p, YuvMatrix::Bt709, true}, {nv12, YuvMatrix::Bt601, true},
        {nv12, YuvMatrix::Bt709, false},    {yuyv, YuvMatrix::Bt601, false},   {yv12, YuvMatrix::Bt601, false},
        {nv21, YuvMatrix::Bt709, false},    {uyvy, YuvMatrix::Bt709, true}};
    // Colour blocks of 8 pixels keep chroma subsampling from mixing colours inside a block; odd frame and grid
    // sizes put cell bounds on odd pixels.
    RgbImage img = randomImage(101, 67, 77, 8), grey = uniformImage(6, 4, 100);
    CellAnalyser a, small;
    a.setGrid(7, 5);
    small.setGrid(3, 2);
    const CellTable rgb = a.analyse(img.view());
    std::vector<quint32> picture(std::size_t(img.width * img.height));
    for (const auto& [layout, matrix, fullRange] : cases) {
        SCOPED_TRACE(::testing::Message() << "format " << int(layout.format) << (fullRange ? " full" : ""));
        const YuvFrame yuv = encode(img, layout, matrix, fullRange);
        const CellTable fromYuv = a.analyse(yuv.view);
        ASSERT_EQ(fromYuv.rgb.size(), rgb.rgb.size());
        for (std::size_t i = 0; i < rgb.rgb.size(); ++i)
            EXPECT_NEAR(fromYuv.rgb[i], rgb.rgb[i], 2) << "cell value " << i;
        // The picture for the live view, at the frame's size: every pixel's colour.
        ASSERT_TRUE(drawFramePicture(yuv.view, picture.data(), img.width, img.height, img.width * 4));
        int wrong = 0;
        for (int i = 0; i < img.width * img.height; ++i)
            for (int ch = 0; ch < 3; ++ch)
                wrong += std::abs(int(picture[std::size_t(i)] >> (16 - 8 * ch) & 0xFF) -
                                  img.at(i % img.width, i / img.width, ch)) > 3;
        EXPECT_EQ(wrong, 0);
        // Rounding, not truncation, on the way back: a uniform grey comes back exactly.
        for (quint8 v : small.analyse(encode(grey, layout, matrix, true).view).rgb)
            EXPECT_TRUE(!fullRange || v == 100) << int(v);
    }
    // Lines far longer than the partial sums of luma and chroma hold in one go.
    RgbImage white = uniformImage(2049, 2, 0xFF);
    small.setGrid(1, 1);
    for (quint8 v : small.analyse(encode(white, yuv420p, YuvMatrix::Bt601, true).view).rgb)
        EXPECT_EQ(v, 255);
}

TEST(FramePicture, EachPackedByteOrderAndThePixelNearestEachCentre)
{
    RgbImage img = randomImage(4, 2, 5);
    std::vector<uchar> bytes(img.bytes.size());
    quint32 out[2];
    for (auto [format, r, g, b] : {std::tuple{PixelFormat::Bgrx32, 2, 1, 0},
                                   {PixelFormat::Rgbx32, 0, 1, 2},
                                   {PixelFormat::Xrgb32, 1, 2, 3},
                                   {PixelFormat::Xbgr32, 3, 2, 1}}) {
        for (int i = 0; i < 8; ++i)
            for (auto [ch, offset] : {std::pair{0, r}, {1, g}, {2, b}})
                bytes[std::size_t(i * 4 + offset)] = img.at(i % 4, i / 4, ch);
        FrameView v{.format = format, .width = 4, .height = 2, .planes = {bytes.data()}, .strides = {16}};
        ASSERT_TRUE(drawFramePicture(v, out, 2, 1, 8));
        // Two pixels across, one down: the frame's (1, 1) and (3, 1).
        for (int i : {0, 1})
            EXPECT_EQ(out[i], 0xFF000000u | quint32(img.at(2 * i + 1, 1, 0)) << 16 |
                                  quint32(img.at(2 * i + 1, 1, 1)) << 8 | img.at(2 * i + 1, 1, 2))
                << int(format) << " pixel " << i;
    }
    EXPECT_FALSE(drawFramePicture(FrameView{}, out, 2, 1, 8));
}
