#include "tests/plugins/scripted/ScriptedPictures.h"

#include <QLinearGradient>
#include <QPainter>

QPixmap drawnProduct(const QSize& size, const QString& label)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(size.width() * 0.1, size.height() * 0.3, size.width() * 0.8, size.height() * 0.4);
    QLinearGradient gradient(box.topLeft(), box.bottomLeft());
    gradient.setColorAt(0, QColor(90, 90, 90));
    gradient.setColorAt(1, QColor(40, 40, 40));
    painter.setBrush(gradient);
    painter.setPen(QPen(QColor(30, 30, 30), 2));
    painter.drawRoundedRect(box, 8, 8);
    painter.setPen(QColor(220, 220, 220));
    QFont font = painter.font();
    font.setPixelSize(qMax(8, size.height() / 14));
    painter.setFont(font);
    painter.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, label);
    return pixmap;
}

QPixmap drawnUsbIcon(int size, const QColor& colour)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 2));
    painter.drawRoundedRect(QRectF(2, size * 0.3, size - 4, size * 0.4), 3, 3);
    painter.drawLine(QPointF(size * 0.25, size * 0.5), QPointF(size * 0.75, size * 0.5));
    return pixmap;
}

// Three nodes joined to a bar: a network, unlike the plug of drawnUsbIcon.
QPixmap drawnNetworkIcon(int size, const QColor& colour)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 2));
    const qreal node = size * 0.22;
    painter.drawRect(QRectF((size - node) / 2, 2, node, node));
    painter.drawLine(QPointF(size / 2.0, 2 + node), QPointF(size / 2.0, size * 0.5));
    painter.drawLine(QPointF(size * 0.2, size * 0.5), QPointF(size * 0.8, size * 0.5));
    for (const qreal x : {size * 0.2, size * 0.8}) {
        painter.drawLine(QPointF(x, size * 0.5), QPointF(x, size - 2 - node));
        painter.drawRect(QRectF(x - node / 2, size - 2 - node, node, node));
    }
    return pixmap;
}
