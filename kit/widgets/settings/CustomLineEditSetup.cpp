#include "kit/widgets/settings/CustomLineEditSetup.h"

#include "kit/widgets/CustomLineEdit.h"

#include <QEvent>

namespace {

// Takes the remembered text when the field gains the focus, i.e. before the user edits it.
class RememberOnFocus : public QObject {
public:
    explicit RememberOnFocus(CustomLineEdit* edit)
        : QObject(edit)
        , edit_(edit)
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == edit_ && event->type() == QEvent::FocusIn && !edit_->isEditing())
            edit_->setRememberedText(edit_->text());
        return QObject::eventFilter(watched, event);
    }

private:
    CustomLineEdit* edit_;
};

}

void setUpCustomLineEdit(CustomLineEdit* edit)
{
    if (!edit)
        return;
    edit->setRememberedText(edit->text());
    edit->installEventFilter(new RememberOnFocus(edit));
    QObject::connect(edit, &QLineEdit::textEdited, edit, &CustomLineEdit::onEdit);
    QObject::connect(edit, &QLineEdit::editingFinished, edit, [edit] {
        edit->onEditFinished();
        edit->setRememberedText(edit->text());
    });
}
