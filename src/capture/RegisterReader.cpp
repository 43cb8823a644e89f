// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/RegisterReader.h"

#include "capture/WheelInk.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <omp.h>
#include <tesseract/baseapi.h>

namespace {
// The least size of a wheel in pixels that still shows a digit's strokes.
constexpr int MinWheelWidth = 6;
constexpr int MinWheelHeight = 10;
// The line handed to the recogniser: each digit this tall, in a slot of its own with white between.
constexpr int LineDigitHeight = 32;
constexpr int LineSlotWidth = 40;
constexpr int LineMargin = 16;
// A digit is taken only when the recogniser is this sure of it (0 to 100).
constexpr float SureConfidence = 80.0f;

const QString NoWheelsSeen = QStringLiteral("No number wheels seen in the register region.");

// The digits to recognise, each scaled to the same height, centred in its wheel's slot; dark on white.
QImage lineOfDigits(const RegisterInk& ink)
{
    QImage line(LineMargin * 2 + LineSlotWidth * int(ink.wheels.size()), LineDigitHeight + 2 * LineMargin,
                QImage::Format_Grayscale8);
    line.fill(255);
    QPainter p(&line);
    for (std::size_t i = 0; i < ink.wheels.size(); ++i) {
        const QRect digit = ink.wheels[i].digit;
        if (digit.isEmpty())
            continue;
        const QImage scaled = ink.paper.copy(digit).scaledToHeight(LineDigitHeight, Qt::SmoothTransformation);
        const int width = std::min(scaled.width(), LineSlotWidth - 4);
        p.drawImage(QRect(LineMargin + int(i) * LineSlotWidth + (LineSlotWidth - width) / 2, LineMargin, width,
                          LineDigitHeight),
                    scaled);
    }
    return line;
}
} // namespace

struct RegisterReader::Recogniser
{
    tesseract::TessBaseAPI api;
    bool ready = false;
};

RegisterReader::RegisterReader() : m_recogniser(std::make_unique<Recogniser>())
{
    // The recogniser's worker threads spin while they wait and cost many times the work for one short line.
    omp_set_max_active_levels(0);
    tesseract::TessBaseAPI& api = m_recogniser->api;
    m_recogniser->ready = api.Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY) == 0;
    if (m_recogniser->ready) {
        api.SetPageSegMode(tesseract::PSM_SINGLE_LINE);
        api.SetVariable("tessedit_char_whitelist", "0123456789");
    }
}

RegisterReader::~RegisterReader() = default;

RegisterRead RegisterReader::read(const QImage& picture, const RegisterRegion& region, int digits, int decimals)
{
    RegisterRead out;
    out.decimals = std::clamp(decimals, 0, std::max(digits, 0));
    if (!m_recogniser->ready) {
        out.problem = QStringLiteral("The English data of Tesseract (package tesseract-ocr-eng) is missing: the "
                                     "register's digits cannot be recognised.");
        return out;
    }
    if (picture.isNull()) {
        out.problem = QStringLiteral("There is no picture to read the register from.");
        return out;
    }
    if (digits < 1) {
        out.problem = QStringLiteral("The register has no wheels to read.");
        return out;
    }
    const QRect area = region.in(picture.size()).intersected(picture.rect());
    if (area.isEmpty()) {
        out.problem = QStringLiteral("The register region lies outside the picture.");
        return out;
    }
    if (area.width() / digits < MinWheelWidth || area.height() < MinWheelHeight) {
        out.problem = QStringLiteral("The register region is only %1 x %2 pixels in this picture, %3 x %2 for each of "
                                     "its %4 wheels, and a wheel needs at least %5 x %6. Choose a larger video size "
                                     "or draw a larger region.")
                          .arg(area.width())
                          .arg(area.height())
                          .arg(area.width() / digits)
                          .arg(digits)
                          .arg(MinWheelWidth)
                          .arg(MinWheelHeight);
        return out;
    }

    const RegisterInk ink = WheelInkFinder::find(picture.copy(area).convertToFormat(QImage::Format_Grayscale8), digits);
    if (std::all_of(ink.wheels.begin(), ink.wheels.end(),
                    [](const WheelInk& w) { return w.shape == WheelInk::Shape::Blank; })) {
        out.problem = NoWheelsSeen;
        return out;
    }

    // Every digit worth recognising goes into one line: one call of the recogniser for the whole register.
    std::vector<std::vector<std::pair<int, float>>> found(ink.wheels.size());
    if (std::any_of(ink.wheels.begin(), ink.wheels.end(), [](const WheelInk& w) { return !w.digit.isEmpty(); })) {
        const QImage line = lineOfDigits(ink);
        tesseract::TessBaseAPI& api = m_recogniser->api;
        api.SetImage(line.constBits(), line.width(), line.height(), 1, int(line.bytesPerLine()));
        api.SetSourceResolution(300);
        if (api.Recognize(nullptr) == 0) {
            std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
            for (bool more = it != nullptr && !it->Empty(tesseract::RIL_SYMBOL); more;
                 more = it->Next(tesseract::RIL_SYMBOL)) {
                int left = 0, top = 0, right = 0, bottom = 0;
                const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_SYMBOL));
                if (!text || !it->BoundingBox(tesseract::RIL_SYMBOL, &left, &top, &right, &bottom))
                    continue;
                const int slot = ((left + right) / 2 - LineMargin) / LineSlotWidth;
                const bool oneDigit = text[0] >= '0' && text[0] <= '9' && text[1] == '\0';
                if (slot >= 0 && slot < int(found.size()))
                    found[std::size_t(slot)].emplace_back(oneDigit ? text[0] - '0' : -1,
                                                          it->Confidence(tesseract::RIL_SYMBOL));
            }
        }
        api.Clear();
    }

    for (std::size_t i = 0; i < ink.wheels.size(); ++i) {
        const WheelInk& wheel = ink.wheels[i];
        WheelRead& read = out.wheels.emplace_back();
        // A digit only when exactly one sure symbol came out of the wheel's slot.
        const bool sure = found[i].size() == 1 && found[i][0].first >= 0 && found[i][0].second >= SureConfidence;
        const int digit = sure ? found[i][0].first : -1;
        switch (wheel.shape) {
        case WheelInk::Shape::Standing:
            if (sure)
                read = {WheelRead::Seen::Digit, digit, -1};
            break;
        case WheelInk::Shape::Rolling:
            read.seen = WheelRead::Seen::Between;
            if (sure) {
                // Turning forward, the digit going out is above the middle and the one coming in below.
                read.digit = wheel.digitAbove ? digit : (digit + 9) % 10;
                read.next = (read.digit + 1) % 10;
            }
            break;
        case WheelInk::Shape::Blank:
            break;
        }
    }
    return out;
}
