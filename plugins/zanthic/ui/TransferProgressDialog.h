#pragma once

#include "kit/widgets/CommonDialog.h"

#include <QString>

#include <memory>

namespace TWG {
namespace Zanthic {

class LutTransferThread;
class ZanthicConvertersConnectedDevice;

// "Loading LUT": the progress of one upload at a time, hidden again when its thread has ended.
class TransferProgressDialog : public CommonDialog {
    Q_OBJECT
public:
    explicit TransferProgressDialog(QWidget* parent);
    ~TransferProgressDialog() override;

    // Shows the upload's progress and starts its thread, which it then no longer owns. Refused
    // (false, the thread deleted unstarted) while an earlier upload has not completed.
    bool start(std::shared_ptr<ZanthicConvertersConnectedDevice> device, const QString& lutName,
               LutTransferThread* worker);
    bool isBusy() const { return busy_; }

signals:
    // On the GUI thread, once the thread's transfer has returned.
    void threadCompleted();

public slots:
    void onThreadCompleted();

private:
    std::shared_ptr<ZanthicConvertersConnectedDevice> device_;
    QMetaObject::Connection progress_;
    bool busy_ = false;
};

} // namespace Zanthic
} // namespace TWG
