// The unicast DNS-SD reply reader, fed a datagram as a device would send it back. The query's
// ID is taken from the datagram itself, so the reader gets past its ID check to the records.
//   input: the datagram
#include "discovery/BonjourInfoQuery.h"
#include "discovery/DnsMessage.h"

#include <string>

namespace {

// Type and domain come from the question name split at its last dot: both end in "." or,
// for a name without a dot, both are empty.
bool splitAsAName(const BonjourInfo& info)
{
    if (info.type.empty() || info.domain.empty())
        return info.type.empty() && info.domain.empty();
    return info.type.back() == '.' && info.domain.back() == '.';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::uint16_t id = size >= 2 ? static_cast<std::uint16_t>((data[0] << 8) | data[1]) : 0;
    const std::string address = "10.1.2.3";
    BonjourInfo info;
    if (!TWG::bonjourInfoFromReply(size ? data : nullptr, size, id, address, &info))
        return 0;
    if (info.host != address || info.interfaceIndex != 0 || info.announced || !splitAsAName(info))
        __builtin_trap();
    // The same datagram answers no other query.
    TWG::ReplyRecords other;
    if (TWG::parseServiceReply(data, size, static_cast<std::uint16_t>(id ^ 1), &other))
        __builtin_trap();
    TWG::ReplyRecords records;
    if (!TWG::parseServiceReply(data, size, id, &records) || records.additional.size() > records.additionalCount)
        __builtin_trap();
    return 0;
}
