#include "kit/widgets/card/TabButton.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/widgets/StyleHelpers.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int kFont = 3;
constexpr int kCheckedFont = 4;
constexpr int kBaseline = 21;
constexpr int kTextPadding = 14;
constexpr int kButtonPadding = 24;
constexpr int kUnderlineWidth = 3;
constexpr int kUnderlineY = 35;
constexpr int kUnderlineRightInset = 10;
constexpr int kAlertRightInset = 17;
} // namespace

TabButton::TabButton(const QString& title, QWidget* parent)
    : QAbstractButton(parent), title_(title), alertPixmap_(QStringLiteral(":/Field_Icon_Alert"))
{
    setCheckable(true);
    setFont(kitFont(kFont));
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(title);
    textRect_ = QRect(0, kBaseline + metrics.descent() - metrics.height(), textWidth + kTextPadding, metrics.height());
    setFixedSize(textWidth + kButtonPadding, kHeight);
}

void TabButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (isChecked()) {
        painter.setFont(kitFont(kCheckedFont));
        painter.setPen(QPen(brandingAccentColour(), kUnderlineWidth));
        painter.drawLine(0, kUnderlineY, width() - kUnderlineRightInset, kUnderlineY);
        painter.setPen(kitColourText());
    } else {
        painter.setFont(kitFont(kFont));
        painter.setPen(kitColourInactiveText());
    }
    painter.drawText(textRect_, Qt::AlignCenter, title_);
    if (alert_)
        painter.drawPixmap(width() - kAlertRightInset, 0, alertPixmap_);
}
