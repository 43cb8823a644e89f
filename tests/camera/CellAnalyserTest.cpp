// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/CellAnalyser.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

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
    FrameView view() const
    {
        FrameView f;
        f.format = PixelFormat::Bgrx32;
        f.width = width;
        f.height = height;
        f.planes[0] = bytes.data();
        f.strides[0] = stride;
        return f;
    }
};

RgbImage randomImage(int w, int h, unsigned seed, int blockSize = 1)
{
    RgbImage img{w, h, qsizetype(w) * 4 + 12, {}};
    img.bytes.assign(std::size_t(img.stride * h), 0xEE); // padding bytes must never be read as pixels
    std::mt19937 rng(seed);
    std::vector<uchar> block(std::size_t((w / blockSize + 1) * (h / blockSize + 1) * 3));
    for (auto& b : block)
        b = uchar(rng() % 256);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int ch = 0; ch < 3; ++ch)
                img.at(x, y, ch) = block[std::size_t(((y / blockSize) * (w / blockSize + 1) + x / blockSize) * 3 + ch)];
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
    for (int i = 0; i < cols * rows; ++i)
        for (int ch = 0; ch < 3; ++ch)
            if (counts[std::size_t(i)])
                t.rgb[std::size_t(i * 3 + ch)] =
                    quint8(std::nearbyint(sums[std::size_t(i * 3 + ch)] / counts[std::size_t(i)]));
    return t;
}

struct Geometry
{
    int width, height, cols, rows;
};

class CellAnalyserGeometry : public ::testing::TestWithParam<Geometry>
{
};
} // namespace

TEST_P(CellAnalyserGeometry, MatchesNaivePerPixelMeans)
{
    const Geometry g = GetParam();
    RgbImage img = randomImage(g.width, g.height, unsigned(g.width * 31 + g.cols));
    CellAnalyser a;
    a.setGrid(g.cols, g.rows);
    const CellTable got = a.analyse(img.view());
    const CellTable want = naiveMeans(img, g.cols, g.rows);
    ASSERT_EQ(got.columns, g.cols);
    ASSERT_EQ(got.rows, g.rows);
    EXPECT_EQ(got.rgb, want.rgb);
}

INSTANTIATE_TEST_SUITE_P(UnevenSizes, CellAnalyserGeometry,
                         ::testing::Values(Geometry{37, 23, 5, 4}, Geometry{1, 1, 1, 1}, Geometry{64, 48, 10, 10},
                                           Geometry{101, 67, 30, 30}, Geometry{13, 7, 13, 7}, Geometry{641, 479, 7, 3},
                                           Geometry{1203, 5, 1, 2}));

TEST(CellAnalyser, PackedLayoutsGiveTheSameTable)
{
    RgbImage img = randomImage(29, 17, 5);
    CellAnalyser a;
    a.setGrid(4, 3);
    const CellTable reference = a.analyse(img.view());
    // Rewrite the same pixels in each byte order and expect the same means.
    const struct
    {
        PixelFormat format;
        int r, g, b;
    } layouts[] = {{PixelFormat::Rgbx32, 0, 1, 2}, {PixelFormat::Xrgb32, 1, 2, 3}, {PixelFormat::Xbgr32, 3, 2, 1}};
    for (const auto& l : layouts) {
        std::vector<uchar> bytes(img.bytes.size(), 0);
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                uchar* p = &bytes[std::size_t(y * img.stride + x * 4)];
                p[l.r] = img.at(x, y, 0);
                p[l.g] = img.at(x, y, 1);
                p[l.b] = img.at(x, y, 2);
            }
        FrameView f = img.view();
        f.format = l.format;
        f.planes[0] = bytes.data();
        EXPECT_EQ(a.analyse(f).rgb, reference.rgb) << int(l.format);
    }
}

TEST(CellAnalyser, MoreCellsThanPixelsLeavesEmptyCellsAtZero)
{
    RgbImage img = randomImage(3, 2, 9);
    CellAnalyser a;
    a.setGrid(7, 5);
    const CellTable t = a.analyse(img.view());
    ASSERT_EQ(t.rgb.size(), std::size_t(7 * 5 * 3));
    // Every pixel still counts exactly once, in the last of the cells that start at it.
    EXPECT_EQ(t.rgb, naiveMeans(img, 7, 5).rgb);
    EXPECT_EQ(t.value(0, 0, 0), 0); // floor(0*3/7)..floor(1*3/7) = 0..0: empty
}

TEST(CellAnalyser, LongRunsOfFullWhiteStayExact)
{
    // Spans far longer than the analyser's internal partial sums can hold in one go.
    RgbImage white{2049, 2, 2049 * 4, std::vector<uchar>(2049 * 4 * 2, 0xFF)};
    CellAnalyser a;
    for (int columns : {1, 3}) {
        a.setGrid(columns, 1);
        for (quint8 v : a.analyse(white.view()).rgb)
            EXPECT_EQ(v, 255) << columns;
    }
}

TEST(CellAnalyser, RejectsFramesItCannotRead)
{
    CellAnalyser a;
    a.setGrid(2, 2);
    RgbImage img = randomImage(8, 8, 1);
    FrameView f = img.view();
    f.strides[0] = 8; // shorter than a line
    EXPECT_TRUE(a.analyse(f).isEmpty());
    f = img.view();
    f.planes[0] = nullptr;
    EXPECT_TRUE(a.analyse(f).isEmpty());
    f = FrameView{};
    EXPECT_TRUE(a.analyse(f).isEmpty());
    a.setGrid(0, 3);
    EXPECT_TRUE(a.analyse(img.view()).isEmpty());
}

TEST(CellAnalyser, OutOfGridReadsGiveZero)
{
    RgbImage img = randomImage(8, 8, 2);
    CellAnalyser a;
    a.setGrid(2, 2);
    const CellTable t = a.analyse(img.view());
    EXPECT_EQ(t.value(0, 2, 0), 0);
    EXPECT_EQ(t.value(3, 0, 0), 0);
    EXPECT_EQ(t.value(0, -1, 0), 0);
}

TEST(CellAnalyser, NoiseReductionDropsOneFrameSpikesAndDelaysStepsByOneFrame)
{
    RgbImage dark{4, 4, 16, std::vector<uchar>(64, 40)};
    RgbImage bright{4, 4, 16, std::vector<uchar>(64, 200)};
    CellAnalyser a;
    a.setGrid(1, 1);
    a.setReduceNoise(true);
    std::vector<int> seen;
    for (RgbImage* img : {&dark, &dark, &bright, &dark, &dark, &bright, &bright, &bright})
        seen.push_back(a.analyse(img->view()).value(0, 0, 0));
    EXPECT_EQ(seen, (std::vector<int>{40, 40, 40, 40, 40, 40, 200, 200}));

    a.setReduceNoise(false);
    EXPECT_EQ(a.analyse(dark.view()).value(0, 0, 0), 40);
    EXPECT_EQ(a.analyse(bright.view()).value(0, 0, 0), 200);
}

namespace {
// Encodes an RGB image into each YUV layout the analyser reads, with the given matrix and range.
struct YuvFrame
{
    std::vector<uchar> y, u, v, packed;
    FrameView view;
};

YuvFrame encode(RgbImage& img, PixelFormat format, YuvMatrix matrix, bool fullRange)
{
    const bool bt709 = matrix == YuvMatrix::Bt709;
    const double kr = bt709 ? 0.2126 : 0.299;
    const double kb = bt709 ? 0.0722 : 0.114;
    const int w = img.width, h = img.height, cw = (w + 1) / 2, ch = (h + 1) / 2;
    auto lum = [&](int x, int y) {
        return kr * img.at(x, y, 0) + (1 - kr - kb) * img.at(x, y, 1) + kb * img.at(x, y, 2);
    };
    auto cu = [&](int x, int y) { return (img.at(x, y, 2) - lum(x, y)) / (2 * (1 - kb)); };
    auto cv = [&](int x, int y) { return (img.at(x, y, 0) - lum(x, y)) / (2 * (1 - kr)); };
    auto qy = [&](double yv) { return uchar(std::clamp(std::lround(fullRange ? yv : 16 + yv * 219 / 255), 0L, 255L)); };
    auto qc = [&](double c) { return uchar(std::clamp(std::lround(128 + (fullRange ? c : c * 224 / 255)), 0L, 255L)); };
    // Chroma of a 2x1 or 2x2 block: the mean of its pixels.
    auto chroma = [&](int cx, int cy, bool halfRows, auto fn) {
        double s = 0;
        int n = 0;
        for (int dy = 0; dy < (halfRows ? 2 : 1); ++dy)
            for (int dx = 0; dx < 2; ++dx) {
                const int x = cx * 2 + dx, y = halfRows ? cy * 2 + dy : cy;
                if (x < w && y < h) {
                    s += fn(x, y);
                    ++n;
                }
            }
        return s / n;
    };
    YuvFrame f;
    f.view.format = format;
    f.view.width = w;
    f.view.height = h;
    f.view.matrix = matrix;
    f.view.fullRange = fullRange;
    if (format == PixelFormat::Yuyv || format == PixelFormat::Uyvy) {
        const qsizetype stride = qsizetype(cw) * 4 + 4;
        const bool yFirst = format == PixelFormat::Yuyv;
        f.packed.assign(std::size_t(stride * h), 0);
        for (int y = 0; y < h; ++y)
            for (int cx = 0; cx < cw; ++cx) {
                uchar* p = &f.packed[std::size_t(y * stride + cx * 4)];
                p[yFirst ? 0 : 1] = qy(lum(cx * 2, y));
                p[yFirst ? 2 : 3] = cx * 2 + 1 < w ? qy(lum(cx * 2 + 1, y)) : 0;
                p[yFirst ? 1 : 0] = qc(chroma(cx, y, false, cu));
                p[yFirst ? 3 : 2] = qc(chroma(cx, y, false, cv));
            }
        f.view.planes[0] = f.packed.data();
        f.view.strides[0] = stride;
        return f;
    }
    const qsizetype ys = w + 3;
    f.y.assign(std::size_t(ys * h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            f.y[std::size_t(y * ys + x)] = qy(lum(x, y));
    f.view.planes[0] = f.y.data();
    f.view.strides[0] = ys;
    if (format == PixelFormat::Nv12 || format == PixelFormat::Nv21) {
        const qsizetype s = cw * 2 + 2;
        const int uAt = format == PixelFormat::Nv12 ? 0 : 1;
        f.u.assign(std::size_t(s * ch), 0);
        for (int cy = 0; cy < ch; ++cy)
            for (int cx = 0; cx < cw; ++cx) {
                f.u[std::size_t(cy * s + cx * 2 + uAt)] = qc(chroma(cx, cy, true, cu));
                f.u[std::size_t(cy * s + cx * 2 + 1 - uAt)] = qc(chroma(cx, cy, true, cv));
            }
        f.view.planes[1] = f.u.data();
        f.view.strides[1] = s;
        return f;
    }
    const qsizetype s = cw + 1;
    f.u.assign(std::size_t(s * ch), 0);
    f.v.assign(std::size_t(s * ch), 0);
    for (int cy = 0; cy < ch; ++cy)
        for (int cx = 0; cx < cw; ++cx) {
            f.u[std::size_t(cy * s + cx)] = qc(chroma(cx, cy, true, cu));
            f.v[std::size_t(cy * s + cx)] = qc(chroma(cx, cy, true, cv));
        }
    const bool vFirst = format == PixelFormat::Yv12;
    f.view.planes[1] = vFirst ? f.v.data() : f.u.data();
    f.view.planes[2] = vFirst ? f.u.data() : f.v.data();
    f.view.strides[1] = f.view.strides[2] = s;
    return f;
}

struct YuvCase
{
    PixelFormat format;
    YuvMatrix matrix;
    bool fullRange;
};

class CellAnalyserYuv : public ::testing::TestWithParam<YuvCase>
{
};
} // namespace

TEST_P(CellAnalyserYuv, AgreesWithRgbAnalysisOfTheSamePicture)
{
    const YuvCase c = GetParam();
    // Colour blocks of 8 pixels keep chroma subsampling from mixing colours inside a block; odd frame and
    // grid sizes put cell bounds on odd pixels.
    RgbImage img = randomImage(101, 67, 77, 8);
    YuvFrame yuv = encode(img, c.format, c.matrix, c.fullRange);
    CellAnalyser a;
    a.setGrid(7, 5);
    const CellTable rgb = a.analyse(img.view());
    const CellTable fromYuv = a.analyse(yuv.view);
    ASSERT_EQ(fromYuv.rgb.size(), rgb.rgb.size());
    for (std::size_t i = 0; i < rgb.rgb.size(); ++i)
        EXPECT_NEAR(fromYuv.rgb[i], rgb.rgb[i], 2) << "cell value " << i;
}

INSTANTIATE_TEST_SUITE_P(Layouts, CellAnalyserYuv,
                         ::testing::Values(YuvCase{PixelFormat::Yuv420p, YuvMatrix::Bt601, false},
                                           YuvCase{PixelFormat::Yuv420p, YuvMatrix::Bt709, true},
                                           YuvCase{PixelFormat::Nv12, YuvMatrix::Bt601, true},
                                           YuvCase{PixelFormat::Nv12, YuvMatrix::Bt709, false},
                                           YuvCase{PixelFormat::Yuyv, YuvMatrix::Bt601, false},
                                           YuvCase{PixelFormat::Yv12, YuvMatrix::Bt601, false},
                                           YuvCase{PixelFormat::Nv21, YuvMatrix::Bt709, false},
                                           YuvCase{PixelFormat::Uyvy, YuvMatrix::Bt709, true}));

TEST(CellAnalyser, UniformGreyIsExactInEveryYuvLayout)
{
    RgbImage img{6, 4, 24, std::vector<uchar>(96, 100)};
    CellAnalyser a;
    a.setGrid(3, 2);
    for (PixelFormat f : {PixelFormat::Yuv420p, PixelFormat::Nv12, PixelFormat::Yuyv}) {
        YuvFrame yuv = encode(img, f, YuvMatrix::Bt601, true);
        const CellTable t = a.analyse(yuv.view);
        for (quint8 v : t.rgb)
            EXPECT_EQ(v, 100) << int(f);
    }
}
