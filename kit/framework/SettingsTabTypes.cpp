#include "kit/framework/SettingsTabTypes.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/StyleHelpers.h"

#include <QLabel>

namespace {
constexpr int kHighlightedFont = 4;
constexpr int kPlainFont = 3;
constexpr int kDisabledAlpha = 100;
}

GridSpec checkBoxGridSpec()
{
    return GridSpec{30, 7, int(Qt::AlignLeft | Qt::AlignTop), 2, 16, 0, 4};
}

GridSpec radioGridSpec()
{
    return GridSpec{30, 6, int(Qt::AlignLeft | Qt::AlignTop), 2, 16, 4, 4};
}

GridSpec uncaptionedImageGroupSpec()
{
    return GridSpec{27, 0, int(Qt::AlignHCenter | Qt::AlignTop), 0, 78, 16, 10};
}

GridSpec captionedImageGroupSpec()
{
    return GridSpec{24, 14, int(Qt::AlignLeft | Qt::AlignTop), 0, 15, 12, 10};
}

void ImageOptionList::add(const QPixmap& image, const QString& text, int value)
{
    images.append(image);
    texts.append(text);
    values.append(value);
}

void OptionList::add(const QString& text, int value)
{
    Option option;
    option.text = text;
    option.value = value;
    options_.push_back(option);
}

void StatusButtonRow::setHighlighted(bool on, const QString& text)
{
    if (!label)
        return;
    // Dimmed in a disabled row like every other text of the row.
    QColor colour = on ? brandingAccentColour() : kitColourText();
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    colour.setAlpha(kDisabledAlpha);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setFont(kitFont(on ? kHighlightedFont : kPlainFont));
    label->setText(text);
    // The label has no width of its own; let it show the whole status.
    label->adjustSize();
    if (button)
        button->setVisible(on);
}
