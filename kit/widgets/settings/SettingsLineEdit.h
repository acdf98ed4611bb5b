#pragma once

#include "kit/widgets/settings/StatusIconLineEdit.h"

// The line edit of a settings row: a rounded field with the accent colour as focus border and a
// status icon that shows whether the input is acceptable.
class SettingsLineEdit : public StatusIconLineEdit {
    Q_OBJECT
public:
    explicit SettingsLineEdit(QWidget* parent);

    // kind: 0 none, 1 OK, 2 alert; always none while show-status is off.
    void setStatusIcon(int kind);
    void setShowStatus(bool show);

public slots:
    void updateStatusIcon() override;

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showIcon(int kind);
};
