#include "kit/widgets/settings/LinkBar.h"

#include "kit/widgets/StyleHelpers.h"

#include <QPainter>

namespace {
constexpr int kRightInset = 7;
}

LinkBar::LinkBar(int position, QWidget* parent)
    : QWidget(parent)
    , position_(position)
{
}

void LinkBar::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    QPen pen(isEnabled() ? kitColourInactiveText() : kitColourBorder(), 1, Qt::SolidLine,
             Qt::SquareCap, Qt::BevelJoin);
    painter.setPen(pen);
    const int w = width() - kRightInset;
    const int h = height() - 2;
    painter.drawLine(w, 1, w, h);
    if (position_ == Upper)
        painter.drawLine(0, 1, w, 1);
    else
        painter.drawLine(0, h, w, h);
}
