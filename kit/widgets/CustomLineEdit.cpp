#include "kit/widgets/CustomLineEdit.h"

CustomLineEdit::CustomLineEdit(QWidget* parent) : QLineEdit(parent) {}

void CustomLineEdit::onEdit()
{
    editing_ = true;
}

void CustomLineEdit::onEditFinished()
{
    editing_ = false;
    if (text() != remembered_)
        emit editingFinishedWithNewText();
}
