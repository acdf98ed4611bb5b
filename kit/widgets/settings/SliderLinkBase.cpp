#include "kit/widgets/settings/SliderLinkBase.h"

#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/TightLayouts.h"
#include "kit/widgets/settings/LinkBar.h"

namespace {
constexpr int kWidth = 26;
constexpr int kBarExtra = 2;
}

SliderLinkBase::SliderLinkBase(QWidget* parent)
    : QFrame(parent)
    , link_(loadIconPixmap(QStringLiteral(":/Link")))
    , unlink_(loadIconPixmap(QStringLiteral(":/Unlink")))
    , linkDisabled_(loadIconPixmap(QStringLiteral(":/Link_Disabled")))
    , unlinkDisabled_(loadIconPixmap(QStringLiteral(":/Unlink_Disabled")))
{
    auto* layout = new TightVBoxLayout(this);
    upper_ = new LinkBar(LinkBar::Upper, this);
    button_ = new FlatImageButton(unlink_, this);
    button_->setCheckedPixmap(link_);
    button_->setCheckable(true);
    lower_ = new LinkBar(LinkBar::Lower, this);
    layout->addWidget(upper_);
    layout->addWidget(button_, 0, Qt::AlignRight);
    layout->addWidget(lower_);
    connect(button_, &QAbstractButton::clicked, this, &SliderLinkBase::onLinkButtonClicked);
    applyLinkState(false);
}

int SliderLinkBase::linkImageHeight() const
{
    if (link_.isNull())
        return 0;
    return qRound(link_.height() / link_.devicePixelRatio());
}

void SliderLinkBase::setLinked(bool linked)
{
    applyLinkState(linked);
}

void SliderLinkBase::onLinkButtonClicked(bool checked)
{
    applyLinkState(checked);
}

void SliderLinkBase::applyLinkState(bool linked)
{
    linked_ = linked;
    button_->setDisabledPixmap(linked ? linkDisabled_ : unlinkDisabled_);
    button_->setChecked(linked);
    for (LinkBar* bar : {upper_, lower_}) {
        bar->setLinked(linked);
        bar->update();
    }
    update();
    emit onSliderLinkClicked(linked);
}

void SliderLinkBase::fitHeight(int distance)
{
    const int imageHeight = linkImageHeight();
    const int bar = qMax(0, (distance - imageHeight) / 2) + kBarExtra;
    upper_->setFixedHeight(bar);
    lower_->setFixedHeight(bar);
    setFixedSize(kWidth, 2 * bar + imageHeight);
}
