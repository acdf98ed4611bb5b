#pragma once

#include "kit/widgets/settings/SettingsLineEdit.h"

class QAbstractSlider;

// The value field of SettingsSliderWithEditableValue: fixes up what was typed when the edit is
// committed (Return, Enter or focus out).
class SettingsSliderLineEdit : public SettingsLineEdit {
    Q_OBJECT
public:
    SettingsSliderLineEdit(QWidget* parent, QAbstractSlider* slider);

    // Empty or unreadable text shows the slider's value again; a number outside the
    // validator's range is replaced by the nearer limit.
    void commitText();

public slots:
    void onReturnPressed();
    void onValueChanged(int value);
    void userDoneEdit();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QAbstractSlider* slider_;
};
