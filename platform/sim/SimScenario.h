#pragma once

#include "platform/Export.h"
#include "platform/backend/UsbBackend.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <string>

namespace platform {

class SimBackend;

// A scenario (JSON) lists the devices of the simulated bus:
//   {"devices": [{"vendor": "0x7C5D", "product": "0xBD86", "release": "0x0100", "serial": "S1",
//                 "interfaces": [{"class": 255, "subclass": 255, "protocol": 255,
//                                 "endpoints": [{"address": "0x02", "type": "bulk",
//                                                "maxPacket": 512}]}]},
//                {"model": "<name>", ...fields of the model}]}
// A device with "model" is built by the factory registered under that name (SimModelRegistry);
// the others are generic SimDevices. Numbers may be JSON numbers or "0x" strings. Attaches the
// devices in order; false with *error on the first bad entry (the devices before it stay).
TWG_PLATFORM_API bool loadSimScenario(const QByteArray& json, SimBackend& bus, QString* error);

// The process's simulated bus from a scenario file; an unreadable or bad file logs a warning and
// gives an empty bus.
TWG_PLATFORM_API std::unique_ptr<UsbBackend> loadSimScenarioFile(const std::string& path);

} // namespace platform
