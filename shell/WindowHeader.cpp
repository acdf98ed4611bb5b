#include "shell/WindowHeader.h"

#include "kit/widgets/StyleHelpers.h"
#include "shell/ShellBranding.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>

namespace {
constexpr int kHeight = 76;
constexpr int kTextX = 29;
constexpr int kBaseline = 48;
constexpr int kLogoMargin = 24;
} // namespace

WindowHeader::WindowHeader(QWidget* parent)
    : QWidget(parent), appName_(brandingAppName()), logo_(loadIconPixmap(QStringLiteral(":/Logo")))
{
    setFixedHeight(kHeight);
    setFont(kitFont(0));
    const QFontMetrics metrics(font());
    textRect_ = QRect(kTextX, kBaseline - metrics.height() + metrics.descent(),
                      metrics.horizontalAdvance(appName_) + 4, metrics.height());
}

void WindowHeader::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, QColor(40, 40, 40));
    gradient.setColorAt(0.5, QColor(26, 26, 26));
    gradient.setColorAt(1, QColor(23, 23, 23));
    painter.fillRect(rect(), gradient);
    painter.setPen(kitColourLightFill());
    painter.setFont(font());
    painter.drawText(textRect_, Qt::AlignLeft | Qt::AlignVCenter, appName_);
    if (!logo_.isNull()) {
        const qreal ratio = logo_.devicePixelRatio();
        painter.drawPixmap(int(width() - logo_.width() / ratio - kLogoMargin),
                           int((height() - logo_.height() / ratio) * 0.5), logo_);
    }
}
