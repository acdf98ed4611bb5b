#include "plugins/converters/settings/GainRowStyle.h"

#include "kit/widgets/StyleHelpers.h"

#include <QLabel>

namespace GainRowStyle {

QLabel* createCaption(const QString& text, int y, QWidget* parent)
{
    QLabel* label = createStyledLabel(kCaptionFont, kitColourInactiveText(), parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setFixedWidth(kCaptionWidth);
    label->move(kCaptionX, y);
    label->setText(text);
    return label;
}

} // namespace GainRowStyle
