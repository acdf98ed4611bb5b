#include "kit/widgets/settings/ImageGroupButton.h"

#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/TightLayouts.h"

#include <QLabel>

namespace {
constexpr int kCaptionFont = 4;
constexpr int kCaptionSpacing = 8;
constexpr int kUncheckedAlpha = 127;
constexpr int kDisabledAlpha = 100;
constexpr int kFadedNormal = 0;  // 30 %
constexpr int kFadedHover = 2;   // 75 %
}

ImageGroupButton::ImageGroupButton(const QPixmap& image, const QString& text, int flat,
                                   QWidget* parent)
    : QFrame(parent)
    , checkedColour_(kitColourInactiveText())
    , uncheckedColour_(kitColourInactiveText())
    , disabledColour_(kitColourText())
    , flat_(flat)
{
    uncheckedColour_.setAlpha(kUncheckedAlpha);
    disabledColour_.setAlpha(kDisabledAlpha);
    build(image, text);
}

ImageGroupButton::ImageGroupButton(const QPixmap& image, int flat, QWidget* parent)
    : QFrame(parent)
    , flat_(flat)
{
    build(image, QString());
}

void ImageGroupButton::build(const QPixmap& image, const QString& text)
{
    button_ = new FlatImageButton(image, this);
    button_->setCheckable(true);
    if (flat_ || image.isNull()) {
        button_->setHoverPixmap(image);
        button_->setCheckedPixmap(image);
    } else {
        button_->setPixmap(fadedPixmap(image, kFadedNormal));
        button_->setHoverPixmap(fadedPixmap(image, kFadedHover));
        button_->setCheckedPixmap(image);
    }
    const qreal ratio = image.isNull() ? 1.0 : image.devicePixelRatio();
    button_->setFixedSize(qRound(image.width() / ratio), qRound(image.height() / ratio));
    connect(button_, &QAbstractButton::toggled, this, &ImageGroupButton::onToggled);

    auto* layout = new TightVBoxLayout(this);
    layout->addWidget(button_, 0, Qt::AlignHCenter);
    if (!text.isEmpty()) {
        layout->addSpacing(kCaptionSpacing);
        label_ = new QLabel(text, this);
        label_->setFont(kitFont(kCaptionFont));
        label_->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        layout->addWidget(label_);
    }
    setMaximumSize(layout->sizeHint());
    applyLook(button_->isChecked());
}

void ImageGroupButton::onToggled(bool checked)
{
    if (label_ && !flat_)
        applyLook(checked);
}

void ImageGroupButton::applyLook(bool checked)
{
    if (!label_)
        return;
    QPalette palette = label_->palette();
    palette.setColor(QPalette::WindowText, (flat_ || checked) ? checkedColour_ : uncheckedColour_);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, disabledColour_);
    label_->setPalette(palette);
}
