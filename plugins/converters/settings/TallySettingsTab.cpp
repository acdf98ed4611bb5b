#include "plugins/converters/settings/TallySettingsTab.h"

#include "converters/IConverter.h"

#include <QAbstractButton>
#include <QIntValidator>
#include <QLineEdit>

namespace {

// The builder's kind for a field without one of the kit's own validators.
constexpr int kOwnValidator = 2;

// One validator for every tally tab; it lives to the end of the process.
QIntValidator* cameraNumberValidator()
{
    static QIntValidator* const validator =
        new QIntValidator(TallySettingsTab::kFirstCamera, TallySettingsTab::kLastCamera);
    return validator;
}

} // namespace

TallySettingsTab::TallySettingsTab(ConverterConnection* owner, QWidget* parent)
    : ConverterSettingsTab(owner, parent)
{
    addSection(tr("Settings"));
    cameraEdit_ = addLineEditRow(tr("Set SDI tally to camera:"), kOwnValidator);
    cameraEdit_->setValidator(cameraNumberValidator());
    showTallyBox_ = qobject_cast<QAbstractButton*>(addCheckBoxRow(QString(), tr("Show tally on video output")));
    finishLayout();

    TWG::Converters::IConverter* d = device();
    int camera = kFirstCamera;
    if (d->getCameraNumber(&camera))
        cameraNumber_.setRead(camera);
    cameraEdit_->setText(QString::number(cameraNumber_.value));
    bool show = false;
    if (d->getShowTally(&show))
        showTally_.setRead(show);
    showTallyBox_->setChecked(showTally_.value);

    connect(cameraEdit_, &QLineEdit::textChanged, this, &TallySettingsTab::onCameraNumberChanged);
    connect(showTallyBox_, &QAbstractButton::toggled, this, &TallySettingsTab::onShowTallyChanged);
}

void TallySettingsTab::onCameraNumberChanged(const QString& text)
{
    bool ok = false;
    const uint number = text.toUInt(&ok, 10);
    // The validator lets "0" and "00" through as unfinished input; the device must not get them.
    if (!ok || number < static_cast<uint>(kFirstCamera) || number > static_cast<uint>(kLastCamera))
        return;
    device()->setCameraNumber(static_cast<int>(number));
    cameraNumber_.markWritten();
}

void TallySettingsTab::onShowTallyChanged(bool on)
{
    device()->setShowTally(on);
    showTally_.markWritten();
}

void TallySettingsTab::commitChanges() {}

void TallySettingsTab::revertChanges()
{
    TWG::Converters::IConverter* d = device();
    if (cameraNumber_.shouldRevert())
        d->setCameraNumber(cameraNumber_.value);
    if (showTally_.shouldRevert())
        d->setShowTally(showTally_.value);
}
