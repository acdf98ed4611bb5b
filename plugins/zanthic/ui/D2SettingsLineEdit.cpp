#include "plugins/zanthic/ui/D2SettingsLineEdit.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/settings/IpAddressValidator.h"
#include "kit/widgets/settings/NonEmptyValidator.h"
#include "kit/widgets/settings/SettingsControlStyle.h"
#include "kit/widgets/settings/SharedValidators.h"
#include "kit/widgets/settings/UnsignedIntValidator.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace TWG {
namespace Zanthic {

namespace {
constexpr int kControlFont = 7;
constexpr int kDisabledAlpha = 100;
constexpr int kRadioHeight = 24;
constexpr int kFieldWidth = 200;
constexpr int kFieldHeight = 24;
constexpr int kFieldPaddingLeft = 6;
constexpr int kLabelWidth = 200;
constexpr int kLabelHeight = 24;
constexpr int kElideSlack = 8;
constexpr int kButtonHeight = 24;
constexpr int kDefaultBorderAlpha = 180;
constexpr int kPortMax = 65535;

const QColor kFieldBorder(218, 218, 218);
const QColor kFieldFocusBorder(254, 167, 1);

QString disabledText() { return colourToRgba(kitColourText(), kDisabledAlpha); }

const QString& checkBoxStyle()
{
    static const QString style =
        QStringLiteral("QCheckBox { spacing: 8px; color: %1 }QCheckBox::disabled { color: %4 }"
                       "QCheckBox::indicator { width: %2px; height: %3px; margin-top: 3px; margin-left: 1px;}"
                       "QCheckBox::indicator::unchecked { image: url(:/Checkbox); }"
                       "QCheckBox::indicator::checked { image: url(:/Checkbox_Active); }"
                       "QCheckBox::indicator::checked::disabled { image: url(:/Checkbox_Active_Disabled); }"
                       "QCheckBox::indicator::unchecked::disabled { image: url(:/Checkbox_Disabled); }"
                       "QCheckBox::indicator::unchecked::hover { image: url(:/Checkbox_Hover); }")
            .arg(colourToHex(kitColourText()), QString::number(18), QString::number(18), disabledText());
    return style;
}

QString lineEditStyle(int paddingRight)
{
    return QStringLiteral(
               "QLineEdit { border: 1px solid %1; margin-left: 0px; border-radius: 3px; color: %3; "
               "background-color: %5; padding-bottom: 1px; padding-left: %6px; padding-right: %7px; }"
               "QLineEdit:read-only, QLineEdit:read-only:focus { border: 0px; margin-left: 1px; background-color: %5; }"
               "QLineEdit:focus { border: 1px solid %2; margin-left: 0px; background-color: %5; }"
               "QLineEdit:disabled { border: 0px; margin-left: 1px; color: %4; background-color: %5; }")
        .arg(colourToHex(kFieldBorder), colourToHex(kFieldFocusBorder), colourToHex(kitColourText()), disabledText(),
             colourToHex(kitColourGrey245()), QString::number(kFieldPaddingLeft), QString::number(paddingRight));
}

const QString& labelStyle()
{
    static const QString style = QStringLiteral("QLabel { color: %1; background-color: %2; }")
                                     .arg(colourToHex(kitColourText()), colourToHex(kitColourGrey245()));
    return style;
}

QString pushButtonStyle()
{
    const QColor top = kitColourLightFill();
    const QColor bottom = kitColourBorder();
    const QColor border = kitColourButtonBorder();
    const QColor text = kitColourText();
    return QStringLiteral("QPushButton {\tbackground-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, "
                          "stop:1 %2);\tborder: 1px solid %3; border-radius: 4px;\tcolor: %4;}")
               .arg(colourToHex(top), colourToHex(bottom), colourToHex(border), colourToHex(text)) +
           QStringLiteral("QPushButton:pressed {\tbackground-color: %1;}").arg(colourToHex(bottom)) +
           QStringLiteral("QPushButton:toggled {\tbackground-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                          "stop:0 white, stop:1 %1);}")
               .arg(colourToHex(top)) +
           QStringLiteral("QPushButton:disabled {\tbackground-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                          "stop:0 %1, stop:1 %2);\tborder: 1px solid %3; border-radius: 4px;\tcolor: %4;}")
               .arg(colourToRgba(top, kDisabledAlpha), colourToRgba(bottom, kDisabledAlpha),
                    colourToRgba(border, kDisabledAlpha), colourToRgba(text, kDisabledAlpha)) +
           QStringLiteral("QPushButton:default {\tborder: 1px solid %1;}")
               .arg(colourToRgba(brandingAccentColour(), kDefaultBorderAlpha));
}
} // namespace

QValidator* sharedD2PortValidator()
{
    static UnsignedIntValidator* validator = new UnsignedIntValidator(1, kPortMax);
    return validator;
}

D2SettingsCheckBox::D2SettingsCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent)
{
    setFont(kitFont(kControlFont));
    setStyleSheet(checkBoxStyle());
}

D2SettingsRadioButton::D2SettingsRadioButton(const QString& text, QWidget* parent) : QRadioButton(text, parent)
{
    setFont(kitFont(kControlFont));
    setStyleSheet(settingsRadioButtonStyle());
    setFixedHeight(kRadioHeight);
}

D2SettingsLineEdit::D2SettingsLineEdit(QWidget* parent) : StatusIconLineEdit(parent)
{
    setFont(kitFont(kControlFont));
    setFrame(false);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setFixedSize(kFieldWidth, kFieldHeight);
    setStyleSheet(lineEditStyle(1));
}

void D2SettingsLineEdit::setValidatorKind(int kind)
{
    switch (kind) {
    case NonEmpty: setValidator(sharedNonEmptyValidator()); break;
    case IpAddress: setValidator(sharedIpAddressValidator()); break;
    case Port: setValidator(sharedD2PortValidator()); break;
    default: setValidator(nullptr); break;
    }
    showStatus_ = validator() != nullptr;
    refreshStatus();
}

void D2SettingsLineEdit::setShowStatus(bool show)
{
    showStatus_ = show;
    refreshStatus();
}

void D2SettingsLineEdit::refreshStatus() { setStatus(status_); }

void D2SettingsLineEdit::updateStatusIcon()
{
    if (hasAcceptableInput())
        setStatus(hasFocus() ? StatusOk : NoStatus);
    else
        setStatus(StatusAlert);
}

void D2SettingsLineEdit::setStatus(int status)
{
    status_ = status;
    const bool shown = showStatus_ && status_ != NoStatus;
    const int iconX = width() - statusIconLabel()->width() - 1;
    showStatusIcon(shown ? status_ : NoIcon, iconX);
    // The text stops short of a shown icon.
    setStyleSheet(lineEditStyle(shown ? width() - iconX : 1));
}

void D2SettingsLineEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (hasAcceptableInput())
        setStatus(NoStatus);
}

void D2SettingsLineEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    refreshStatus();
}

D2SettingsLabel::D2SettingsLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setFont(kitFont(kControlFont));
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

D2SettingsPushButton::D2SettingsPushButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    static const QString style = pushButtonStyle();
    setFont(kitFont(kControlFont));
    setFixedSize(kWidth, kButtonHeight);
    setStyleSheet(style);
}

} // namespace Zanthic
} // namespace TWG
