#include "discovery/BonjourOneShots.h"

#include <QCoreApplication>
#include <QThread>

#include <map>
#include <mutex>
#include <vector>

namespace TWG {

namespace {

class OneShots {
public:
    void add(QObject* oneShot, std::function<void()> endNow)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        live_[oneShot] = std::move(endNow);
        if (!hooked_) {
            qAddPostRoutine(&endBonjourOneShots);
            hooked_ = true;
        }
    }

    void remove(QObject* oneShot)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        live_.erase(oneShot);
    }

    void endAll()
    {
        std::vector<std::function<void()>> ends;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            // The application's post routines run once; a later application hooks again.
            hooked_ = false;
            // Only this thread's: one of another thread's may be going at the same time.
            for (const auto& entry : live_) {
                if (entry.first->thread() == QThread::currentThread())
                    ends.push_back(entry.second);
            }
        }
        ending_ = true;
        for (const auto& end : ends)
            end();
        ending_ = false;
    }

    static thread_local bool ending_;

private:
    std::mutex mutex_;
    std::map<QObject*, std::function<void()>> live_;
    bool hooked_ = false;
};

thread_local bool OneShots::ending_ = false;

// Never destroyed: one-shots of other threads may still go after the statics.
OneShots& oneShots()
{
    static OneShots* instance = new OneShots;
    return *instance;
}

} // namespace

void endBonjourOneShots()
{
    oneShots().endAll();
}

namespace detail {

void addOneShot(QObject* oneShot, std::function<void()> endNow) { oneShots().add(oneShot, std::move(endNow)); }

void removeOneShot(QObject* oneShot) { oneShots().remove(oneShot); }

bool endingOneShots() { return OneShots::ending_; }

} // namespace detail
} // namespace TWG
