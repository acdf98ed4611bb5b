#include "discovery/DiscoveryMetaTypes.h"

#include "discovery/BonjourDevice.h"
#include "discovery/BonjourHelperLookup.h"
#include "discovery/BonjourHelperResolver.h"
#include "discovery/DnsSdEngine.h"
#include "kit/framework/BonjourInfo.h"

#include <QSharedPointer>

#include <mutex>

namespace TWG {

void registerDiscoveryMetaTypes()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The names are the ones the slots and Q_ARGs spell.
        qRegisterMetaType<BonjourInfo>("BonjourInfo");
        qRegisterMetaType<BonjourDevice>("BonjourDevice");
        qRegisterMetaType<std::string>("std::string");
        qRegisterMetaType<DNSServiceErrorType>("DNSServiceErrorType");
        qRegisterMetaType<quint16>("quint16");
        qRegisterMetaType<QSharedPointer<BonjourHelperResolver>>("QSharedPointer<BonjourHelperResolver>");
        qRegisterMetaType<QSharedPointer<BonjourHelperLookup>>("QSharedPointer<BonjourHelperLookup>");
    });
}

} // namespace TWG
