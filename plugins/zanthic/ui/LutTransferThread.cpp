#include "plugins/zanthic/ui/LutTransferThread.h"

#include <QEventLoop>
#include <QSet>
#include <QTimer>

#include <algorithm>

namespace TWG {
namespace Zanthic {

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

} // namespace Zanthic
} // namespace TWG
