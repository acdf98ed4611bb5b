#include "discovery/BonjourHelperInfoQuery.h"

#include "discovery/DiscoveryMetaTypes.h"

#include <mutex>

namespace TWG {

BonjourHelperInfoQuery::BonjourHelperInfoQuery(Callback callback, QObject* parent)
    : QObject(parent), callback_(std::move(callback))
{
    static std::once_flag once;
    std::call_once(once, [] {
        registerDiscoveryMetaTypes();
        qRegisterMetaType<QSharedPointer<BonjourHelperInfoQuery>>("QSharedPointer<BonjourHelperInfoQuery>");
    });
}

BonjourHelperInfoQuery::~BonjourHelperInfoQuery() = default;

void BonjourHelperInfoQuery::onBonjourInfoQueryReceived(QSharedPointer<BonjourHelperInfoQuery>, bool complete,
                                                        BonjourInfo result)
{
    if (delivered_)
        return;
    delivered_ = true;
    callback_(complete, result);
}

} // namespace TWG
