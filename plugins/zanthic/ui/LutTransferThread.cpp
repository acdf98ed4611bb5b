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

LutTransferThread::LutTransferThread(std::function<int()> transfer) : transfer_(std::move(transfer))
{
    transfers().insert(this);
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

LutTransferThread::~LutTransferThread() { transfers().remove(this); }

bool LutTransferThread::anyRunning()
{
    const QSet<LutTransferThread*>& all = transfers();
    return std::any_of(all.begin(), all.end(), [](const LutTransferThread* t) { return t->isRunning(); });
}

void LutTransferThread::waitForAll()
{
    if (!anyRunning())
        return;
    // A thread's finished may already be on its way when we look, so the loop looks again on
    // a short tick rather than trusting one signal.
    QEventLoop loop;
    QTimer tick;
    connect(&tick, &QTimer::timeout, &loop, [&loop] {
        if (!anyRunning())
            loop.quit();
    });
    tick.start(20);
    loop.exec();
}

void LutTransferThread::run() { emit transferred(transfer_()); }

} // namespace Zanthic
} // namespace TWG
