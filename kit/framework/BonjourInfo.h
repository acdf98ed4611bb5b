#pragma once

#include <QMetaType>

#include <cstdint>
#include <map>
#include <string>

// One discovered DNS-SD service instance. Browsing yields an empty host and port 0; the unicast
// query fills the typed address and the port of the SRV record.
struct BonjourInfo {
    std::string name;                        // instance name
    std::string type;                        // service type as reported, "_tarnwright._tcp." say
    std::string domain;                      // reply domain, "local." say
    std::int32_t interfaceIndex = 0;         // the engine's interface of the reply
    std::map<std::string, std::string> txt;  // pairs of the last TXT record
    std::string host;
    std::uint16_t port = 0;
    bool announced = false;                  // set once the first TXT record arrived

    bool operator==(const BonjourInfo& other) const
    {
        return name == other.name && type == other.type && domain == other.domain
               && interfaceIndex == other.interfaceIndex && txt == other.txt && host == other.host
               && port == other.port && announced == other.announced;
    }
    bool operator!=(const BonjourInfo& other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(BonjourInfo)

// Registers the record under the name "BonjourInfo" for queued calls; returns the type id.
int registerBonjourInfoMetaType();
