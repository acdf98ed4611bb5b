#include "plugins/zanthic/ui/D2SettingsLineEdit.h"

#include "kit/widgets/settings/IpAddressValidator.h"
#include "kit/widgets/settings/NonEmptyValidator.h"
#include "kit/widgets/settings/SharedValidators.h"
#include "kit/widgets/settings/UnsignedIntValidator.h"
#include "plugins/zanthic/ui/D2ControlStyle.h"

#include <QLabel>

namespace TWG {
namespace Zanthic {

namespace {
constexpr int kFieldWidth = 200;
constexpr int kFieldHeight = 24;
constexpr int kFieldPaddingLeft = 6;
constexpr int kPortMax = 65535;

const QColor kFieldBorder(218, 218, 218);
const QColor kFieldFocusBorder(254, 167, 1);

QString lineEditStyle(int paddingRight)
{
    return QStringLiteral(
               "QLineEdit { border: 1px solid %1; margin-left: 0px; border-radius: 3px; color: %3; "
               "background-color: %5; padding-bottom: 1px; padding-left: %6px; padding-right: %7px; }"
               "QLineEdit:read-only, QLineEdit:read-only:focus { border: 0px; margin-left: 1px; background-color: %5; }"
               "QLineEdit:focus { border: 1px solid %2; margin-left: 0px; background-color: %5; }"
               "QLineEdit:disabled { border: 0px; margin-left: 1px; color: %4; background-color: %5; }")
        .arg(colourToHex(kFieldBorder), colourToHex(kFieldFocusBorder), colourToHex(kitColourText()), d2DisabledText(),
             colourToHex(kitColourGrey245()), QString::number(kFieldPaddingLeft), QString::number(paddingRight));
}
} // namespace

QValidator* sharedD2PortValidator()
{
    static UnsignedIntValidator* validator = new UnsignedIntValidator(1, kPortMax);
    return validator;
}

D2SettingsLineEdit::D2SettingsLineEdit(QWidget* parent) : StatusIconLineEdit(parent)
{
    setFont(kitFont(kD2ControlFont));
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

} // namespace Zanthic
} // namespace TWG
