#include "kit/widgets/card/CardHeader.h"

#include "kit/framework/VisibleDevice.h"
#include "kit/widgets/SecretButton.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/card/ElidedLabel.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {
constexpr int kNameFont = 13;
constexpr int kSecondFont = 1;
const QColor kSecondColour(208, 208, 208);
const QColor kGradientTop(72, 72, 72);
const QColor kGradientUpper(51, 51, 51);
const QColor kGradientBottom(23, 23, 23);
const QColor kOutline(62, 62, 62);
const QColor kBottomLine(108, 108, 108);
constexpr qreal kGradientUpperStop = 0.0329;

const QPoint kNamePos(29, 22);
const QSize kNameSize(328, 44);
const QPoint kSecondPos(30, 54);
constexpr int kIconY = 35;
constexpr int kIconPadding = 10;
constexpr int kIconRightMargin = 31;
constexpr int kTextRightMarginNoIcon = 60;
constexpr int kNameRightMargin = 61;
constexpr int kSecondMaxWidth = 318;
constexpr int kSecretSize = 20;
constexpr int kCorner = 8;
} // namespace

CardHeader::CardHeader(VisibleDevice* device, QWidget* parent) : QWidget(parent)
{
    setStyleSheet(QStringLiteral("background-color: transparent"));
    setFixedSize(kWidth, kHeight);

    nameLabel_ = new ElidedLabel(QString(), kitFont(kNameFont), kitColourDeviceName(), this);
    nameLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    nameLabel_->setFixedSize(kNameSize);
    nameLabel_->move(kNamePos);

    secondLabel_ = new ElidedLabel(QString(), kitFont(kSecondFont), kSecondColour, this);
    secondLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    secondLabel_->move(kSecondPos);

    iconLabel_ = new QLabel(this);
    iconLabel_->setAlignment(Qt::AlignRight);

    fillFromDevice(device);

    auto* secret = new SecretButton(this);
    secret->setFixedSize(kSecretSize, kSecretSize);
    secret->move(kWidth - kSecretSize, 0);
    connect(secret, &SecretButton::secretClick, this, &CardHeader::showEasterEgg);
}

void CardHeader::fillFromDevice(VisibleDevice* device)
{
    if (!device)
        return;
    nameLabel_->setText(device->name());
    secondLabel_->setText(device->displayName());
    const QPixmap icon = device->cardConnectionIcon();
    const int secondHeight = secondLabel_->fontMetrics().height();

    if (icon.isNull()) {
        iconLabel_->hide();
        nameLabel_->setFixedWidth(width() - kTextRightMarginNoIcon);
        secondLabel_->setFixedSize(width() - kTextRightMarginNoIcon, secondHeight);
        return;
    }
    const QSize iconSize = (QSizeF(icon.size()) / icon.devicePixelRatio()).toSize();
    iconLabel_->setPixmap(icon);
    iconLabel_->setFixedSize(iconSize.width() + kIconPadding, iconSize.height());
    iconLabel_->move(width() - iconLabel_->width() - kIconRightMargin, kIconY);
    iconLabel_->show();
    nameLabel_->setFixedWidth(width() - iconLabel_->width() - kNameRightMargin);
    const int textWidth = secondLabel_->fontMetrics().horizontalAdvance(secondLabel_->text());
    secondLabel_->setFixedSize(qMin(textWidth, kSecondMaxWidth - iconSize.width()), secondHeight);
}

void CardHeader::paintEvent(QPaintEvent*)
{
    const int w = width();
    const int h = height();
    QPainterPath path;
    path.moveTo(0, kCorner);
    path.lineTo(0, h - 1);
    path.lineTo(w, h - 1);
    path.lineTo(w, kCorner);
    path.arcTo(QRectF(w - 2 * kCorner, 0, 2 * kCorner, 2 * kCorner), 0, 90);
    path.lineTo(kCorner, 0);
    path.arcTo(QRectF(0, 0, 2 * kCorner, 2 * kCorner), 90, 90);

    QLinearGradient gradient(0, 0, 0, h - 1);
    gradient.setColorAt(0, kGradientTop);
    gradient.setColorAt(kGradientUpperStop, kGradientUpper);
    gradient.setColorAt(1, kGradientBottom);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kOutline, 2));
    painter.setBrush(gradient);
    painter.drawPath(path);
    painter.setPen(QPen(kBottomLine, 1));
    painter.drawLine(0, h - 1, w, h - 1);
}
