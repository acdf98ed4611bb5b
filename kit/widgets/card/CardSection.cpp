#include "kit/widgets/card/CardSection.h"

#include "kit/widgets/StyleHelpers.h"

#include <QLabel>

namespace {
constexpr int kTitleFont = 4;
constexpr int kTitleX = 30;
constexpr int kTitleY = 11;
} // namespace

CardSection::CardSection(const QString& title, QWidget* parent) : QWidget(parent), title_(title)
{
    setFixedHeight(kHeight);
    if (title.isEmpty())
        return;
    titleLabel_ = createStyledLabel(kTitleFont, kitColourText(), this);
    titleLabel_->setText(title);
    titleLabel_->adjustSize();
    titleLabel_->move(kTitleX, kTitleY);
}
