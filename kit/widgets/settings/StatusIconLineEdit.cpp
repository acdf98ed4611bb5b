#include "kit/widgets/settings/StatusIconLineEdit.h"

#include "kit/widgets/StyleHelpers.h"

#include <QLabel>

namespace {
constexpr int kIconSize = 17;
const char kOkIcon[] = ":/Field_Icon_OK";
const char kAlertIcon[] = ":/Field_Icon_Alert";
} // namespace

StatusIconLineEdit::StatusIconLineEdit(QWidget* parent)
    : QLineEdit(parent), statusIcon_(new QLabel(this))
{
    statusIcon_->setFixedSize(kIconSize, kIconSize);
    statusIcon_->hide();
    connect(this, &QLineEdit::textChanged, this, &StatusIconLineEdit::updateStatusIcon);
    connect(this, &QLineEdit::returnPressed, this, &StatusIconLineEdit::onReturnPressed);
}

void StatusIconLineEdit::onReturnPressed() { focusNextChild(); }

void StatusIconLineEdit::showStatusIcon(int kind, int x)
{
    if (kind != OkIcon && kind != AlertIcon) {
        statusIcon_->hide();
        return;
    }
    statusIcon_->setPixmap(loadIconPixmap(QString::fromLatin1(kind == OkIcon ? kOkIcon : kAlertIcon)));
    statusIcon_->move(x, (height() - statusIcon_->height()) / 2);
    statusIcon_->show();
}
