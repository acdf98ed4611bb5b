#include "discovery/TxtRecord.h"

namespace TWG {

void applyTxtRecord(std::map<std::string, std::string>* txt, const std::uint8_t* data, std::size_t length)
{
    txt->clear();
    std::size_t at = 0;
    while (data && at < length) {
        const std::size_t size = data[at];
        if (size == 0 || size > length - at - 1)
            break;
        const std::string entry(reinterpret_cast<const char*>(data + at + 1), size);
        at += 1 + size;
        const std::size_t equals = entry.find('=');
        if (equals == std::string::npos)
            (*txt)[entry] = std::string();
        else
            (*txt)[entry.substr(0, equals)] = entry.substr(equals + 1);
    }
}

} // namespace TWG
