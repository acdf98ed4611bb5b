#pragma once

#include <QColor>
#include <QPixmap>
#include <QSize>
#include <QString>

// The scripted devices' pictures are drawn, not loaded.
QPixmap drawnProduct(const QSize& size, const QString& label);
QPixmap drawnUsbIcon(int size, const QColor& colour);
QPixmap drawnNetworkIcon(int size, const QColor& colour);
