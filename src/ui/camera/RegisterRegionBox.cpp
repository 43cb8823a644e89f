// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/camera/RegisterRegionBox.h"

#include "app/Dialogs.h"
#include "app/GlobalSettings.h"
#include "app/RegisterRegion.h"
#include "app/RegisterSettings.h"
#include "ui/capture/CapturePreviewWidget.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <algorithm>

namespace {
// A caption at `column` of the grid's `row` and its field after it over `span` columns; a screen reader announces
// the field by the caption.
void addCaptioned(QGridLayout* grid, const QString& caption, QWidget* field, int row, int column, int span = 1)
{
    auto* label = new QLabel(caption, field->parentWidget());
    label->setBuddy(field);
    grid->addWidget(label, row, column);
    grid->addWidget(field, row, column + 1, 1, span);
    // The spin box's own text field is what a screen reader reaches, and it knows no caption.
    for (QLineEdit* text : field->findChildren<QLineEdit*>())
        text->setAccessibleName(caption);
}
} // namespace

RegisterRegionBox::RegisterRegionBox(GlobalSettings& settings, Dialogs& dialogs, CapturePreviewWidget& preview,
                                     QWidget* parent)
    : QGroupBox(QStringLiteral("Register"), parent), m_settings(settings), m_dialogs(dialogs), m_preview(preview),
      m_region(new QLineEdit(this)), m_digits(new QSpinBox(this)), m_decimals(new QSpinBox(this)),
      m_draw(new QPushButton(QStringLiteral("Draw Region"), this))
{
    setObjectName(QStringLiteral("grbRegister"));
    m_region->setObjectName(QStringLiteral("edtRegisterRegion"));
    m_region->setPlaceholderText(QStringLiteral("x,y,width,height"));
    m_region->setToolTip(QStringLiteral("Where the register's number wheels are: left, top, width and height as "
                                        "fractions of the picture (0 to 1), or drawn with Draw Region. Press OK "
                                        "to apply; empty: the register is not read."));
    // Characters no region can hold are refused as typed.
    m_region->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9., ]*")), m_region));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("butOKRegisterRegion"));
    ok->setMaximumWidth(44);
    m_digits->setObjectName(QStringLiteral("spnRegisterDigits"));
    m_digits->setRange(RegisterRules::DIGITS.min, RegisterRules::DIGITS.max);
    m_digits->setToolTip(QStringLiteral("How many number wheels the register shows"));
    m_decimals->setObjectName(QStringLiteral("spnRegisterDecimals"));
    m_decimals->setToolTip(QStringLiteral("How many of the wheels, on the right, are after the decimal point"));
    m_draw->setObjectName(QStringLiteral("butDrawRegion"));
    m_draw->setCheckable(true);
    m_draw->setToolTip(QStringLiteral("Drag a rectangle around the number wheels on the live picture"));
    auto* clear = new QPushButton(QStringLiteral("Clear"), this);
    clear->setObjectName(QStringLiteral("butClearRegion"));
    clear->setToolTip(QStringLiteral("No region: the register is not read"));

    auto* grid = new QGridLayout(this);
    addCaptioned(grid, QStringLiteral("Region"), m_region, 0, 0, 3);
    grid->addWidget(ok, 0, 4);
    addCaptioned(grid, QStringLiteral("Wheels"), m_digits, 1, 0);
    addCaptioned(grid, QStringLiteral("after the point"), m_decimals, 1, 2);
    grid->addWidget(m_draw, 2, 0, 1, 2);
    grid->addWidget(clear, 2, 2, 1, 3);

    connect(ok, &QPushButton::clicked, this, &RegisterRegionBox::confirmTyped);
    connect(m_region, &QLineEdit::returnPressed, this, &RegisterRegionBox::confirmTyped);
    connect(clear, &QPushButton::clicked, this, [this] {
        m_draw->setChecked(false);
        setRegion(QString());
    });
    connect(m_draw, &QPushButton::toggled, &m_preview, &CapturePreviewWidget::setDrawingRegion);
    connect(&m_preview, &CapturePreviewWidget::regionDrawn, this, [this](const RegisterRegion& region) {
        m_draw->setChecked(false);
        setRegion(region.toString());
    });
    connect(m_digits, &QSpinBox::valueChanged, this, &RegisterRegionBox::setDigits);
    connect(m_decimals, &QSpinBox::valueChanged, this,
            [this](int decimals) { m_settings.REGISTER_DECIMALS = decimals; });
    reload();
}

void RegisterRegionBox::reload()
{
    m_region->setText(m_settings.REGISTER_REGION);
    const QSignalBlocker digitsQuiet(m_digits);
    const QSignalBlocker decimalsQuiet(m_decimals);
    m_digits->setValue(m_settings.REGISTER_DIGITS);
    m_decimals->setRange(RegisterRules::DECIMALS.min, std::min(RegisterRules::DECIMALS.max, m_digits->value() - 1));
    m_decimals->setValue(RegisterRules::decimalsInUse(m_settings));
    showOnPreview();
}

void RegisterRegionBox::confirmTyped()
{
    QString problem;
    const std::optional<RegisterRegion> region = RegisterRegion::parse(m_region->text(), &problem);
    if (!problem.isEmpty()) {
        problem[0] = problem[0].toUpper();
        m_dialogs.message(problem + QLatin1Char('.'));
        m_region->setText(m_settings.REGISTER_REGION);
        return;
    }
    setRegion(region ? region->toString() : QString());
}

void RegisterRegionBox::setRegion(const QString& text)
{
    m_settings.REGISTER_REGION = text;
    m_region->setText(text);
    showOnPreview();
}

void RegisterRegionBox::setDigits(int digits)
{
    m_settings.REGISTER_DIGITS = digits;
    // At least one wheel before the point; the box lowers a value above its new maximum itself.
    m_decimals->setMaximum(std::min(RegisterRules::DECIMALS.max, digits - 1));
    showOnPreview();
}

void RegisterRegionBox::showOnPreview()
{
    m_preview.setRegister(RegisterRegion::parse(m_settings.REGISTER_REGION), m_settings.REGISTER_DIGITS);
}
