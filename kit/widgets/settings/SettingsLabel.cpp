#include "kit/widgets/settings/SettingsLabel.h"

#include "kit/widgets/settings/SettingsControlStyle.h"

#include <QPainter>
#include <QTextOption>

SettingsLabel::SettingsLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    applyControlTextPalette(this, kitColourText());
    setFont(kitFont(kSettingsControlFont));
}

void SettingsLabel::setElided(int on)
{
    elide_ = on;
    update();
}

void SettingsLabel::paintEvent(QPaintEvent* event)
{
    const QFontMetrics metrics(font());
    if (!elide_ || metrics.horizontalAdvance(text()) <= contentsRect().width()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                   QPalette::WindowText));
    const QString elided = metrics.elidedText(text(), Qt::ElideRight, width(), Qt::TextShowMnemonic);
    painter.drawText(QRectF(rect()), elided, QTextOption());
}
