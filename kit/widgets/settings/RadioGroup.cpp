#include "kit/widgets/settings/RadioGroup.h"

#include <QAbstractButton>
#include <QButtonGroup>

bool RadioGroup::checkedId(int& id) const
{
    id = -1;
    if (!group_)
        return false;
    id = group_->checkedId();
    return id >= 0;
}

void RadioGroup::setCheckedId(int id)
{
    if (!group_)
        return;
    if (QAbstractButton* button = group_->button(id))
        button->setChecked(true);
}
