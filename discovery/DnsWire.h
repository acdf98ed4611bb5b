#pragma once

#include <cstddef>
#include <cstdint>

// The DNS message as the unicast DNS-SD query writes and reads it; big-endian on the wire.
namespace TWG {
namespace Dns {

constexpr std::uint16_t kUnicastPort = 5353;
constexpr const char* kDefaultServiceName = "_tarnwright._tcp.local";

// Header: ID, flags, QDCOUNT, ANCOUNT, NSCOUNT, ARCOUNT.
constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kIdOffset = 0;
constexpr std::size_t kFlagsOffset = 2;
constexpr std::size_t kQdCountOffset = 4;
constexpr std::size_t kAnCountOffset = 6;
constexpr std::size_t kNsCountOffset = 8;
constexpr std::size_t kArCountOffset = 10;
constexpr std::uint16_t kFlagsRecursionDesired = 0x0100;

constexpr std::uint16_t kTypeA = 1;
constexpr std::uint16_t kTypePtr = 12;
constexpr std::uint16_t kTypeTxt = 16;
constexpr std::uint16_t kTypeSrv = 33;
constexpr std::uint16_t kClassIn = 1;

constexpr std::size_t kMaxLabelLength = 63;
// QTYPE and QCLASS after the question name.
constexpr std::size_t kQuestionTrailerSize = 4;
// A record's fixed part: name pointer, TYPE, CLASS, TTL, RDLENGTH.
constexpr std::size_t kNamePointerSize = 2;
constexpr std::size_t kRecordFixedSize = 12;
constexpr std::size_t kARdataSize = 4;
// Priority, weight and port lead the SRV data.
constexpr std::size_t kSrvFixedSize = 6;

// One datagram each way; a receive takes at most one byte less than the buffer.
constexpr std::size_t kDatagramBufferSize = 1500;

} // namespace Dns
} // namespace TWG
