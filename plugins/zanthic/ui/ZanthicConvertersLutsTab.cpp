#include "plugins/zanthic/ui/ZanthicConvertersLutsTab.h"

#include "kit/widgets/CommonDialog.h"
#include "plugins/zanthic/ui/D2SettingsCheckBox.h"
#include "plugins/zanthic/ui/D2SettingsLabel.h"
#include "plugins/zanthic/ui/D2SettingsLineEdit.h"
#include "plugins/zanthic/ui/D2SettingsPushButton.h"
#include "plugins/zanthic/ui/LutTransferThread.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QFileInfo>

namespace TWG {
namespace Zanthic {

namespace {
constexpr int kSlot = 0;
constexpr int kLutOn = 0;
constexpr int kLutOff = 255;
constexpr int kLutLoaded = ZanthicConvertersConnectedDevice::kLutLoaded;

void goOnClose(CommonDialog* dialog)
{
    QObject::connect(dialog, &CommonDialog::closeClicked, dialog, [dialog] {
        dialog->hide();
        dialog->deleteLater();
    });
}

// Tells that a LUT file did not load; goes once closed.
class ParserErrorDialog : public CommonDialog {
    Q_OBJECT
public:
    ParserErrorDialog(const QString& fileName, QWidget* parent) : CommonDialog(tr("LUT File Corrupt"), parent)
    {
        setTitleAndMessage(tr("File Corrupt!"),
                           tr("The LUT %1 has failed to import because the file is corrupt.").arg(fileName));
        setSingleButton(tr("OK"));
        goOnClose(this);
    }
};

// Tells that a LUT did not reach the device (the file was fine); goes once closed.
class TransferFailedDialog : public CommonDialog {
    Q_OBJECT
public:
    explicit TransferFailedDialog(QWidget* parent) : CommonDialog(tr("Loading LUT"), parent)
    {
        setTitleAndMessage(tr("LUT Transfer Failed"), tr("The LUT could not be sent to your Zanthic Converter. "
                                                         "Check its USB connection and try again."));
        setSingleButton(tr("OK"));
        goOnClose(this);
    }
};

} // namespace

QString cutToUtf8Bytes(const QString& name, int maxBytes)
{
    QByteArray bytes = name.toUtf8();
    if (bytes.size() <= maxBytes)
        return name;
    int end = maxBytes;
    // Back to the first byte of the character the limit falls in.
    while (end > 0 && (static_cast<unsigned char>(bytes.at(end)) & 0xC0) == 0x80)
        --end;
    bytes.truncate(end);
    return QString::fromUtf8(bytes);
}

ZanthicConvertersLutsTab::ZanthicConvertersLutsTab(std::shared_ptr<ZanthicConvertersConnectedDevice> device, QWidget* page)
    : D2SettingsTab(page), device_(std::move(device))
{
    ZanthicConvertersConnectedDevice& d = *device_;
    d.addDelegate(this);
    if (d.supportsLutSelection()) {
        addSection(QString());
        if (d.supportsLutName()) {
            addRow(tr("Display 3D LUT on:"));
            sdi_ = addCheckBox(tr("SDI output"), QString());
            hdmi_ = addCheckBox(tr("HDMI output"), QString());
            savedSdi_ = d.getLutSdiOutEnable();
            savedHdmi_ = d.getLutHdmiOutEnable();
            setLutOnSdiOutput(savedSdi_);
            setLutOnHdmiOutput(savedHdmi_);
            connect(sdi_, &QCheckBox::clicked, this, [this](bool on) { device_->setLutSdiOutEnable(on); });
            connect(hdmi_, &QCheckBox::clicked, this, [this](bool on) { device_->setLutHdmiOutEnable(on); });
        }
        selection_ = addRadioGroup({{kLutOn, tr("On")}, {kLutOff, tr("Off")}}, tr("3D LUT:"));
        savedSelection_ = d.getLutSelection();
        setLutSelection(savedSelection_);
        connect(selection_, &QButtonGroup::idClicked, this,
                [this](int id) { device_->setLutSelection(static_cast<std::uint8_t>(id)); });
        if (d.supportsLutLoopEnable()) {
            loop_ = addCheckBox(QString(), tr("Enable 3D LUT on loop output"));
            savedLoop_ = d.getLutLoopEnable();
            setLutOnLoopOutput(savedLoop_);
            connect(loop_, &QCheckBox::clicked, this, [this](bool on) { device_->setLutLoopEnable(on); });
        }

        nameLabel_ = new D2SettingsLabel(QString(), addRow(QString()));
        nameLabel_->move(kControlX, kControlY);
        nameLabel_->setElided(true);
        nameLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        const auto buttons = addPushButtonPair(QString(), tr("Import"), tr("Delete"));
        importButton_ = buttons.first;
        deleteButton_ = buttons.second;
        connect(importButton_, &QPushButton::clicked, this, &ZanthicConvertersLutsTab::onImportClicked);
        connect(deleteButton_, &QPushButton::clicked, this, &ZanthicConvertersLutsTab::onDeleteClicked);
        setLutInfo(kSlot, d.getLutName());
    }
    finishLayout();
}

ZanthicConvertersLutsTab::~ZanthicConvertersLutsTab()
{
    device_->removeDelegate(this);
    delete fileDialog_;
    delete deleteDialog_;
    // An upload still running goes on without the tab and ends on its own; a failure it told
    // of stays until it is closed.
    delete transferDialog_;
}

void ZanthicConvertersLutsTab::setLutSelection(std::uint8_t index) { setRadioGroupChecked(selection_, index); }

void ZanthicConvertersLutsTab::setLutInfo(int index, const QString& name)
{
    if (index != kSlot || !nameLabel_)
        return;
    nameLabel_->setText(name);
    const bool present = !name.isEmpty();
    nameLabel_->setEnabled(present);
    deleteButton_->setEnabled(present);
    if (QAbstractButton* on = selection_->button(kLutOn))
        on->setEnabled(present);
    for (QCheckBox* box : {static_cast<QCheckBox*>(loop_), static_cast<QCheckBox*>(sdi_), static_cast<QCheckBox*>(hdmi_)})
        if (box)
            box->setEnabled(present);
}

void ZanthicConvertersLutsTab::setLutOnLoopOutput(bool on)
{
    if (loop_)
        loop_->setChecked(on);
}

void ZanthicConvertersLutsTab::setLutOnSdiOutput(bool on)
{
    if (sdi_)
        sdi_->setChecked(on);
}

void ZanthicConvertersLutsTab::setLutOnHdmiOutput(bool on)
{
    if (hdmi_)
        hdmi_->setChecked(on);
}

void ZanthicConvertersLutsTab::revertSettings()
{
    ZanthicConvertersConnectedDevice& d = *device_;
    if (d.getLutName().isEmpty())
        return;
    if (d.supportsLutSelection())
        d.setLutSelection(savedSelection_);
    if (d.supportsLutLoopEnable())
        d.setLutLoopEnable(savedLoop_);
    if (d.supportsLutSdiOutEnable())
        d.setLutSdiOutEnable(savedSdi_);
    if (d.supportsLutHdmiOutEnable())
        d.setLutHdmiOutEnable(savedHdmi_);
}

void ZanthicConvertersLutsTab::onImportClicked()
{
    delete fileDialog_;
    fileDialog_ = new QFileDialog(window(), tr("Open 3D LUT file"));
    fileDialog_->setFileMode(QFileDialog::ExistingFile);
    fileDialog_->setNameFilters({tr("CUBE LUT Files (*.cube)"), tr("All File Types (*)")});
    connect(fileDialog_, &QFileDialog::accepted, this, [this] {
        const QString path = fileDialog_->selectedFiles().value(0);
        fileDialog_->deleteLater();
        if (!path.isEmpty())
            importFile(path);
    });
    connect(fileDialog_, &QFileDialog::rejected, fileDialog_, &QObject::deleteLater);
    // Not open(): that makes it window-modal. Non-blocking all the same.
    fileDialog_->setWindowModality(Qt::ApplicationModal);
    fileDialog_->show();
}

void ZanthicConvertersLutsTab::importFile(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    if (transferDialog_ && transferDialog_->isBusy()) {
        pending_.append(path);
        return;
    }
    const QString fileName = QFileInfo(path).fileName();
    const QString lutName = cutToUtf8Bytes(fileName, kLutNameBytes);
    if (!device_->supportsLutTransferThread()) {
        onTransferred(device_->loadLut(kSlot, path, lutName), fileName);
        return;
    }
    if (!transferDialog_) {
        transferDialog_ = new TransferProgressDialog(this);
        connect(transferDialog_, &TransferProgressDialog::threadCompleted, this, &ZanthicConvertersLutsTab::onThreadCompleted);
    }
    std::shared_ptr<ZanthicConvertersConnectedDevice> device = device_;
    // The selection follows the name the device posted while it loaded, on the GUI thread, and
    // is made even if the tab has gone meanwhile; the upload has ended only once it is made.
    auto* worker = new LutTransferThread([device, path, lutName] { return device->loadLut(kSlot, path, lutName); },
                                         device.get(), [device](int result) {
                                             if (result == kLutLoaded)
                                                 device->setLutSelection(kSlot);
                                         });
    connect(worker, &LutTransferThread::transferred, this, [this, fileName](int result) {
        if (result != kLutLoaded)
            onTransferred(result, fileName);
    });
    transferDialog_->start(device_, lutName, worker);
}

void ZanthicConvertersLutsTab::onTransferred(int result, const QString& fileName)
{
    if (result == kLutLoaded) {
        device_->setLutSelection(kSlot);
        return;
    }
    showFailure(result, fileName);
}

void ZanthicConvertersLutsTab::showFailure(int result, const QString& fileName)
{
    delete errorDialog_;
    // On the window, not the tab: the card may take the tab down (its device lost) just after.
    // Only a file that does not open or decode is corrupt; anything else did not get through.
    if (result == ZanthicConvertersConnectedDevice::kLutUndecodable ||
        result == ZanthicConvertersConnectedDevice::kLutFileUnreadable)
        errorDialog_ = new ParserErrorDialog(fileName, window());
    else
        errorDialog_ = new TransferFailedDialog(window());
    errorDialog_->show();
}

void ZanthicConvertersLutsTab::onThreadCompleted()
{
    if (!pending_.isEmpty())
        importFile(pending_.takeFirst());
}

void ZanthicConvertersLutsTab::onDeleteClicked()
{
    if (!deleteDialog_) {
        deleteDialog_ = new DeleteLutDialog(this);
        connect(deleteDialog_, &CommonDialog::yesClicked, this, &ZanthicConvertersLutsTab::deleteLut);
        connect(deleteDialog_, &CommonDialog::noClicked, deleteDialog_, &QWidget::hide);
    }
    deleteDialog_->setLutIndex(kSlot);
    deleteDialog_->setTitleAndMessage(tr("Remove LUT?"), tr("This will remove the LUT permanently from your Zanthic Converter."));
    deleteDialog_->show();
}

void ZanthicConvertersLutsTab::deleteLut()
{
    ZanthicConvertersConnectedDevice& d = *device_;
    const std::uint8_t index = deleteDialog_->lutIndex();
    // A removal that failed leaves the tab showing the LUT the device still reports.
    const int result = d.loadLut(index, QString(), QString());
    d.setLutSelection(kLutOff);
    if (d.supportsLutLoopEnable())
        d.setLutLoopEnable(false);
    if (d.supportsLutSdiOutEnable())
        d.setLutSdiOutEnable(false);
    if (d.supportsLutHdmiOutEnable())
        d.setLutHdmiOutEnable(false);
    deleteDialog_->hide();
    if (result != kLutLoaded)
        showFailure(result, QString());
}

} // namespace Zanthic
} // namespace TWG

#include "ZanthicConvertersLutsTab.moc"
