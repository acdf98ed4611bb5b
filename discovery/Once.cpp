#include "discovery/Once.h"

namespace TWG {
namespace Core {

int Once::execute()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!done_) {
        callback_();
        done_ = true;
    }
    return 0;
}

} // namespace Core
} // namespace TWG
