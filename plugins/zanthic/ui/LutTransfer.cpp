#include "plugins/zanthic/ui/LutTransfer.h"

#include "plugins/zanthic/device/ConnectedDevice.h"

#include <QEventLoop>
#include <QSet>
#include <QTimer>

#include <algorithm>

namespace TWG {
namespace Zanthic {

void invokeInContext(QObject* context, std::function<void()> function)
{
    QMetaObject::invokeMethod(context, std::move(function), Qt::QueuedConnection);
}

namespace {

// The uploads made and not yet deleted; touched on the GUI thread only.
QSet<LutTransferThread*>& transfers()
{
    static QSet<LutTransferThread*> all;
    return all;
}

} // namespace

LutTransferThread::LutTransferThread(std::function<int()> transfer, const QObject* device,
                                     std::function<void(int)> finish)
    : transfer_(std::move(transfer)), device_(device), finish_(std::move(finish))
{
    transfers().insert(this);
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

LutTransferThread::~LutTransferThread() { transfers().remove(this); }

bool LutTransferThread::anyRunning()
{
    const QSet<LutTransferThread*>& all = transfers();
    return std::any_of(all.begin(), all.end(), [](const LutTransferThread* t) { return !t->hasEnded(); });
}

LutTransferThread* LutTransferThread::runningFor(const QObject* device)
{
    if (!device)
        return nullptr;
    for (LutTransferThread* t : transfers())
        if (t->device_ == device && !t->hasEnded())
            return t;
    return nullptr;
}

void LutTransferThread::waitForAll()
{
    if (!anyRunning())
        return;
    // An upload's end may already be on its way when we look, so the loop looks again on a
    // short tick rather than trusting one signal.
    QEventLoop loop;
    QTimer tick;
    connect(&tick, &QTimer::timeout, &loop, [&loop] {
        if (!anyRunning())
            loop.quit();
    });
    tick.start(20);
    loop.exec();
}

void LutTransferThread::run()
{
    const int result = transfer_();
    // Posted before the thread's finished, so it comes before the deletion that follows that.
    QMetaObject::invokeMethod(this, [this, result] { end(result); }, Qt::QueuedConnection);
}

void LutTransferThread::end(int result)
{
    if (finish_)
        finish_(result);
    ended_ = true;
    emit transferred(result);
}

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

DeleteLutDialog::DeleteLutDialog(QWidget* parent) : CommonDialog(tr("Remove LUT"), parent)
{
    setTwoButtons(tr("Cancel"), tr("Remove"));
}

namespace {
void goOnClose(CommonDialog* dialog)
{
    QObject::connect(dialog, &CommonDialog::closeClicked, dialog, [dialog] {
        dialog->hide();
        dialog->deleteLater();
    });
}
} // namespace

ParserErrorDialog::ParserErrorDialog(const QString& fileName, QWidget* parent) : CommonDialog(tr("LUT File Corrupt"), parent)
{
    setTitleAndMessage(tr("File Corrupt!"),
                       tr("The LUT %1 has failed to import because the file is corrupt.").arg(fileName));
    setSingleButton(tr("OK"));
    goOnClose(this);
}

TransferFailedDialog::TransferFailedDialog(QWidget* parent) : CommonDialog(tr("Loading LUT"), parent)
{
    setTitleAndMessage(tr("LUT Transfer Failed"),
                       tr("The LUT could not be sent to your Zanthic Converter. Check its USB connection and try again."));
    setSingleButton(tr("OK"));
    goOnClose(this);
}

} // namespace Zanthic
} // namespace TWG
