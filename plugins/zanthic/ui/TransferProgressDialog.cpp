#include "plugins/zanthic/ui/TransferProgressDialog.h"

#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/ui/LutTransferThread.h"

namespace TWG {
namespace Zanthic {

TransferProgressDialog::TransferProgressDialog(QWidget* parent) : CommonDialog(tr("Loading LUT"), parent)
{
    connect(this, &TransferProgressDialog::threadCompleted, this, &TransferProgressDialog::onThreadCompleted);
}

// A running thread is not waited for: it holds the device and deletes itself when done.
TransferProgressDialog::~TransferProgressDialog() = default;

bool TransferProgressDialog::start(std::shared_ptr<ZanthicConvertersConnectedDevice> device, const QString& lutName,
                                   LutTransferThread* worker)
{
    if (busy_) {
        delete worker;
        return false;
    }
    busy_ = true;
    device_ = std::move(device);
    progress_ = connect(device_.get(), &ZanthicConvertersConnectedDevice::transferProgress, this, &CommonDialog::setProgress);
    showProgressBar();
    setProgress(0);
    setTitleAndMessage(tr("Loading..."), tr("Loading the LUT %1 to your Zanthic Converter.").arg(lutName));
    show();
    connect(worker, &LutTransferThread::transferred, this, &TransferProgressDialog::threadCompleted);
    worker->start();
    return true;
}

void TransferProgressDialog::onThreadCompleted()
{
    hide();
    disconnect(progress_);
    device_.reset();
    busy_ = false;
}

} // namespace Zanthic
} // namespace TWG
