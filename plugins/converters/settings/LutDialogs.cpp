#include "plugins/converters/settings/LutDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

namespace {

// On the heap behind a QPointer: a dialog on the stack would be deleted twice when its parent
// goes while it runs.
QString runFileDialog(QWidget* parent, const QString& caption, const QString& filter)
{
    QPointer<QFileDialog> dialog = new QFileDialog(parent, caption, QString(), filter);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (!dialog)
        return QString();
    const QString path = accepted ? dialog->selectedFiles().value(0) : QString();
    delete dialog;
    return path;
}

void runCriticalBox(QWidget* parent, const QString& title, const QString& text)
{
    QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    box->exec();
    delete box;
}

} // namespace

LutDialogs LutDialogs::modal()
{
    return LutDialogs{runFileDialog, runCriticalBox};
}
