#pragma once

#include <QMap>
#include <QMetaType>
#include <QString>

// One discovered DNS-SD service instance. Browsing yields an empty host and port 0; the unicast
// query fills the typed address and the port of the SRV record.
struct BonjourInfo {
    QString name;                    // instance name
    QString type;                    // service type, "_tarnwright._tcp." say
    QString domain;
    quint32 interfaceIndex = 0;
    QMap<QString, QString> txt;      // TXT key/value pairs
    QString hostName;
    int port = 0;
    bool announced = false;          // set once the first TXT record arrived

    bool operator==(const BonjourInfo& other) const
    {
        return name == other.name && type == other.type && domain == other.domain
               && interfaceIndex == other.interfaceIndex && txt == other.txt && hostName == other.hostName
               && port == other.port && announced == other.announced;
    }
};

Q_DECLARE_METATYPE(BonjourInfo)

// Registers the record under the name "BonjourInfo" for queued calls; returns the type id.
int registerBonjourInfoMetaType();
