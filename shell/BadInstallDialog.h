#pragma once

#include "kit/widgets/CommonDialog.h"

// Shown when no plug-in supplied a family: a message and a button that quits the program.
class BadInstallDialog : public CommonDialog {
    Q_OBJECT
public:
    BadInstallDialog(QWidget* parent, const QString& title, const QString& message, const QString& buttonText);
};
