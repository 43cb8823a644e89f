// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/AboutForm.h"

#include "ui/shell/ProductInfo.h"

#include <QLabel>
#include <QVBoxLayout>

AboutForm::AboutForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About WATTSIGHT"));
    setModal(true);

    struct Line
    {
        const char* name;
        QString text;
        double scale;
    };
    const Line lines[] = {
        {"lblTitle", QStringLiteral("WATTSIGHT"), 1.8},
        {"lblWebAddress", ProductInfo::WebAddress, 1.0},
        {"lblVersion", ProductInfo::VersionText, 1.0},
        {"lblCopyright", ProductInfo::Copyright, 1.0},
    };
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 24);
    layout->setSpacing(10);
    for (const Line& line : lines) {
        auto* label = new QLabel(line.text, this);
        label->setObjectName(QString::fromLatin1(line.name));
        label->setAlignment(Qt::AlignCenter);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * line.scale);
        font.setBold(line.scale > 1.0);
        label->setFont(font);
        layout->addWidget(label);
    }
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
