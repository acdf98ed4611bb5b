#include "shell/BadInstallDialog.h"

#include <QCoreApplication>

BadInstallDialog::BadInstallDialog(QWidget* parent, const QString& title, const QString& message,
                                   const QString& buttonText)
    : CommonDialog(title, parent)
{
    setMessageOnly(message);
    setSingleButton(buttonText);
    connect(this, &CommonDialog::closeClicked, qApp, &QCoreApplication::quit);
    show();
}
