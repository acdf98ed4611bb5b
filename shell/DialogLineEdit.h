#pragma once

#include <QLineEdit>

// The kit-styled text field of the shell's dialogs; Return moves on to the next field.
class DialogLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DialogLineEdit(QWidget* parent = nullptr);

public slots:
    void onReturnPressed();
};
