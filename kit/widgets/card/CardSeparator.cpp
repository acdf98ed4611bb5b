#include "kit/widgets/card/CardSeparator.h"

#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/TightLayouts.h"

CardSeparator::CardSeparator(const QColor& colour, QWidget* parent) : QWidget(parent), colour_(colour)
{
    // A plain QWidget subclass paints no style-sheet background without this.
    setAttribute(Qt::WA_StyledBackground, true);
    setFixedHeight(1);
    setStyleSheet(QStringLiteral("QWidget { background: %1; }").arg(colourToHex(colour)));
}

CardSeparatorDark::CardSeparatorDark(QWidget* parent) : CardSeparator(kitColourBorder(), parent) {}

CardSeparatorLight::CardSeparatorLight(QWidget* parent) : CardSeparator(kitColourLightFill(), parent) {}

CardSeparatorDarkMiddle::CardSeparatorDarkMiddle(QWidget* parent)
    : CardSeparator(Qt::white, parent), line_(new CardSeparatorDark(this))
{
    line_->setFixedSize(kLineWidth, 1);
    auto* layout = new TightHBoxLayout(this);
    layout->addWidget(line_, 0, Qt::AlignHCenter | Qt::AlignTop);
}
