#include "kit/widgets/settings/SettingsComboBox.h"

#include "kit/widgets/settings/SettingsComboBoxDelegate.h"
#include "kit/widgets/settings/SettingsControlStyle.h"

#include <QAbstractItemView>
#include <QWheelEvent>

namespace {
constexpr int kHeight = 27;

const QString& comboStyle()
{
    static const QString style =
        QStringLiteral(
            "QComboBox {\tborder: 1px solid %4;\tborder-radius: 4px;\tcolor: %1; \tbackground: "
            "qlineargradient(x1:0, y1:0, x2:0 , y2:1, stop: 0 #FFFFFF, stop: 1.0 #F1F1F1);}"
            "QComboBox::disabled {\tborder: 1px solid %5;\tcolor: %2; }"
            "QComboBox::drop-down {\tsubcontrol-origin: padding;\tsubcontrol-position: top right;"
            "\twidth: 15px;\tborder: none;}"
            "QComboBox::down-arrow {\tmargin-right: 7px;\timage: url(:/Dropdown_Arrow);}"
            "QComboBox::down-arrow:disabled {\timage: url(:/Dropdown_Arrow_Disabled);}"
            "QComboBox::indicator:checked{\timage: url(:/Tick);\tpadding-left: 3px;"
            "\tbackground-color: transparent;}"
            "QComboBox::item {\tbackground-color: white;\theight:22px;\tpadding-left:25px}"
            "QComboBox::item:selected {\tbackground-color: %3;}"
            "QComboBox::item:disabled {\tcolor: %2;}")
            .arg(colourToHex(kitColourText()), colourToRgba(kitColourText(), kDisabledTextAlpha),
                 colourToHex(kitColourBorder()), colourToHex(kitColourButtonBorder()),
                 colourToRgba(kitColourButtonBorder(), kDisabledTextAlpha));
    return style;
}
}

SettingsComboBox::SettingsComboBox(QWidget* parent, int width)
    : QComboBox(parent)
{
    setStyleSheet(comboStyle());
    setFixedSize(width, kHeight);
    setFont(kitFont(kSettingsControlFont));
    setFocusPolicy(Qt::NoFocus);
    // The view keeps (and deletes) its old delegate; ours only wraps it.
    view()->setItemDelegate(new SettingsComboBoxDelegate(view()->itemDelegate(), this));
}

void SettingsComboBox::wheelEvent(QWheelEvent* event)
{
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}
