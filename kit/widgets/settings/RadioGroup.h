#pragma once

class QButtonGroup;

// A copyable handle on a radio or image-option button group through which a tab reads and sets
// the chosen id.
class RadioGroup {
public:
    RadioGroup() = default;
    explicit RadioGroup(QButtonGroup* group)
        : group_(group)
    {
    }

    QButtonGroup* buttonGroup() const { return group_; }
    bool isValid() const { return group_ != nullptr; }
    // id becomes -1, or the checked id; true when that id is 0 or more.
    bool checkedId(int& id) const;
    // Checks the button with that id; nothing when there is none.
    void setCheckedId(int id);

private:
    QButtonGroup* group_ = nullptr;
};
