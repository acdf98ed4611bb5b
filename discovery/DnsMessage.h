#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace TWG {

// One record after the answer, with the fixed fields every record shares.
class DNSAdditionalRecord {
public:
    virtual ~DNSAdditionalRecord() = default;
    // Reads the rdata (rdLength bytes); returns the bytes consumed, or -1 when the data do not
    // have the record's form.
    virtual int parse(const std::uint8_t* rdata) = 0;
    virtual const std::uint8_t* txtData() const { return nullptr; }
    virtual std::size_t txtLength() const { return 0; }

    std::uint16_t namePointer = 0;
    std::uint16_t type = 0;
    std::uint16_t recordClass = 0;
    std::uint32_t ttl = 0;
    std::uint16_t rdLength = 0;
};

class DNSHostAddressRecord : public DNSAdditionalRecord {
public:
    int parse(const std::uint8_t* rdata) override;
    std::string address; // dotted decimal
};

class DNSTXTRecord : public DNSAdditionalRecord {
public:
    int parse(const std::uint8_t* rdata) override;
    const std::uint8_t* txtData() const override { return data_.data(); }
    std::size_t txtLength() const override { return data_.size(); }

private:
    std::vector<std::uint8_t> data_;
};

class DNSSRVRecord : public DNSAdditionalRecord {
public:
    int parse(const std::uint8_t* rdata) override;
    std::uint16_t priority = 0;
    std::uint16_t weight = 0;
    std::uint16_t port = 0;
};

// A reply as the reader took it.
struct ReplyRecords {
    std::uint16_t id = 0;
    std::uint16_t flags = 0;
    std::uint16_t questionCount = 0;
    std::uint16_t answerCount = 0;
    std::uint16_t authorityCount = 0;
    std::uint16_t additionalCount = 0;
    std::string questionName; // labels joined by ".", no trailing dot
    std::uint16_t questionType = 0;
    std::uint16_t questionClass = 0;
    std::uint16_t answerType = 0;
    std::uint16_t answerClass = 0;
    std::uint32_t answerTtl = 0;
    std::string instanceName;
    std::vector<std::unique_ptr<DNSAdditionalRecord>> additional;
};

// The PTR question for a service name ("_tarnwright._tcp.local"); empty when a label is empty
// or longer than 63 bytes.
std::vector<std::uint8_t> buildServiceQuery(std::uint16_t id, const std::string& serviceName);

// False for anything but one answer to one question with this ID, and for any field that
// would reach past the data or a record's own RDLENGTH.
bool parseServiceReply(const std::uint8_t* data, std::size_t length, std::uint16_t expectedId, ReplyRecords* out);

} // namespace TWG
