#include "kit/widgets/card/ElidedLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

ElidedLabel::ElidedLabel(const QString& text, const QFont& font, const QColor& colour, QWidget* parent)
    : QLabel(text, parent)
{
    setFont(font);
    QPalette pal = palette();
    pal.setColor(QPalette::Active, QPalette::WindowText, colour);
    pal.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    pal.setColor(QPalette::Disabled, QPalette::WindowText, colour);
    setPalette(pal);
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(QChar(0x2026)), QLabel::minimumSizeHint().height());
}

bool ElidedLabel::needsEliding() const
{
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

QString ElidedLabel::displayedText() const
{
    if (!needsEliding())
        return text();
    return fontMetrics().elidedText(text(), Qt::ElideRight, width());
}

void ElidedLabel::paintEvent(QPaintEvent* event)
{
    if (!needsEliding()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), static_cast<int>(alignment()), displayedText());
}
