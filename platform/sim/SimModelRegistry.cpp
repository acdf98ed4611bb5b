#include "platform/sim/SimModelRegistry.h"

#include <QJsonArray>

#include <cmath>

#include <map>
#include <mutex>

namespace platform {

namespace {
struct Registry {
    std::mutex mutex;
    std::map<std::string, SimModelFactory> factories;
};

Registry& registry()
{
    static Registry r;
    return r;
}

constexpr std::uint8_t kStringManufacturer = 1;
constexpr std::uint8_t kStringProduct = 2;
constexpr std::uint8_t kStringSerial = 3;

template <typename T>
bool field(const QJsonObject& o, const char* key, T* out, QString* error)
{
    unsigned value = *out;
    if (!simNumberField(o, key, static_cast<unsigned>(static_cast<T>(~T{0})), &value, error))
        return false;
    *out = static_cast<T>(value);
    return true;
}

bool endpointFromJson(const QJsonObject& o, SimEndpoint* e, QString* error)
{
    if (!o.contains(QLatin1String("address"))) {
        *error = QStringLiteral("an endpoint needs an \"address\"");
        return false;
    }
    const QString type = o.value(QLatin1String("type")).toString(QStringLiteral("bulk"));
    if (type == QLatin1String("bulk")) {
        e->attributes = usbch9::kEndpointBulk;
    } else if (type == QLatin1String("interrupt")) {
        e->attributes = usbch9::kEndpointInterrupt;
    } else {
        *error = QStringLiteral("unknown endpoint type \"%1\"").arg(type);
        return false;
    }
    return field(o, "address", &e->address, error) && field(o, "maxPacket", &e->maxPacketSize, error)
           && field(o, "interval", &e->interval, error);
}

bool interfaceFromJson(const QJsonObject& o, SimInterface* i, QString* error)
{
    if (!field(o, "number", &i->number, error) || !field(o, "class", &i->interfaceClass, error)
        || !field(o, "subclass", &i->interfaceSubClass, error) || !field(o, "protocol", &i->interfaceProtocol, error))
        return false;
    for (const QJsonValue& v : o.value(QLatin1String("endpoints")).toArray()) {
        SimEndpoint e;
        if (!v.isObject() || !endpointFromJson(v.toObject(), &e, error)) {
            if (error->isEmpty())
                *error = QStringLiteral("an endpoint must be an object");
            return false;
        }
        i->endpoints.push_back(e);
    }
    return true;
}

void putString(const QJsonObject& o, const char* key, std::uint8_t index, SimDescriptors* out, std::uint8_t* field)
{
    if (!o.contains(QLatin1String(key)))
        return;
    out->strings[index] = o.value(QLatin1String(key)).toString().toStdString();
    *field = index;
}
} // namespace

bool SimModelRegistry::add(const std::string& name, SimModelFactory factory)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.mutex);
    if (!factory || r.factories.count(name))
        return false;
    r.factories[name] = std::move(factory);
    return true;
}

SimModelFactory SimModelRegistry::find(const std::string& name)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.mutex);
    auto found = r.factories.find(name);
    return found == r.factories.end() ? SimModelFactory{} : found->second;
}

std::vector<std::string> SimModelRegistry::names()
{
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.mutex);
    std::vector<std::string> list;
    for (const auto& f : r.factories)
        list.push_back(f.first);
    return list;
}

bool simNumber(const QJsonValue& value, unsigned max, unsigned* out)
{
    qint64 number = -1;
    if (value.isDouble()) {
        // Range first: converting a double outside qint64 to it is undefined.
        const double d = value.toDouble();
        if (!(d >= 0.0 && d <= static_cast<double>(max)) || d != std::floor(d))
            return false;
        number = static_cast<qint64>(d);
    } else if (value.isString()) {
        bool ok = false;
        number = value.toString().trimmed().toLongLong(&ok, 0);
        if (!ok)
            return false;
    } else {
        return false;
    }
    if (number < 0 || number > static_cast<qint64>(max))
        return false;
    *out = static_cast<unsigned>(number);
    return true;
}

bool simNumberField(const QJsonObject& entry, const char* key, unsigned max, unsigned* out, QString* error,
                    const char* prefix)
{
    if (!entry.contains(QLatin1String(key)))
        return true;
    if (simNumber(entry.value(QLatin1String(key)), max, out))
        return true;
    *error = QStringLiteral("%1bad \"%2\"").arg(QLatin1String(prefix), QLatin1String(key));
    return false;
}

bool simDescriptorsFromJson(const QJsonObject& o, SimDescriptors* out, QString* error)
{
    UsbDeviceDescriptor& d = out->device;
    if (!field(o, "vendor", &d.idVendor, error) || !field(o, "product", &d.idProduct, error)
        || !field(o, "release", &d.bcdDevice, error) || !field(o, "class", &d.bDeviceClass, error)
        || !field(o, "subclass", &d.bDeviceSubClass, error) || !field(o, "protocol", &d.bDeviceProtocol, error)
        || !field(o, "maxPacket0", &d.bMaxPacketSize0, error))
        return false;
    putString(o, "manufacturer", kStringManufacturer, out, &d.iManufacturer);
    putString(o, "productName", kStringProduct, out, &d.iProduct);
    putString(o, "serial", kStringSerial, out, &d.iSerialNumber);
    if (o.contains(QLatin1String("interfaces"))) {
        const QJsonValue list = o.value(QLatin1String("interfaces"));
        if (!list.isArray()) {
            *error = QStringLiteral("\"interfaces\" must be a list");
            return false;
        }
        SimConfiguration configuration;
        std::uint8_t number = 0;
        for (const QJsonValue& v : list.toArray()) {
            SimInterface i;
            i.number = number;
            if (!v.isObject()) {
                *error = QStringLiteral("an interface must be an object");
                return false;
            }
            if (!interfaceFromJson(v.toObject(), &i, error))
                return false;
            number = static_cast<std::uint8_t>(i.number + 1);
            configuration.interfaces.push_back(i);
        }
        out->configurations = {configuration};
    }
    return true;
}

} // namespace platform
