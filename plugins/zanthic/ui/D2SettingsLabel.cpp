#include "plugins/zanthic/ui/D2SettingsLabel.h"

#include "plugins/zanthic/ui/D2ControlStyle.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace TWG {
namespace Zanthic {

namespace {
constexpr int kLabelWidth = 200;
constexpr int kLabelHeight = 24;
constexpr int kElideSlack = 8;

const QString& labelStyle()
{
    static const QString style = QStringLiteral("QLabel { color: %1; background-color: %2; }")
                                     .arg(colourToHex(kitColourText()), colourToHex(kitColourGrey245()));
    return style;
}
} // namespace

D2SettingsLabel::D2SettingsLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setFont(kitFont(kD2ControlFont));
    setFixedSize(kLabelWidth, kLabelHeight);
    setContentsMargins(9, 3, 9, 0);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setStyleSheet(labelStyle());
}

void D2SettingsLabel::setElided(bool on)
{
    elide_ = on;
    update();
}

void D2SettingsLabel::paintEvent(QPaintEvent* event)
{
    const QRect area = contentsRect();
    if (!elide_ || hasFocus() || fontMetrics().horizontalAdvance(text()) <= area.width()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width() - kElideSlack, Qt::TextShowMnemonic);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(area, static_cast<int>(alignment()) | Qt::TextShowMnemonic, shown);
}

} // namespace Zanthic
} // namespace TWG
