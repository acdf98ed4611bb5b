#include "discovery/DnsMessage.h"

#include "discovery/DnsWire.h"

namespace TWG {

namespace {

// Reads fields only inside [0, length); any read past it fails the whole reply.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t length) : data_(data), length_(length) {}

    bool has(std::size_t count) const { return count <= length_ - at_; }
    std::size_t at() const { return at_; }
    const std::uint8_t* here() const { return data_ + at_; }

    bool u8(std::uint8_t* value)
    {
        if (!has(1))
            return false;
        *value = data_[at_++];
        return true;
    }
    bool u16(std::uint16_t* value)
    {
        if (!has(2))
            return false;
        *value = static_cast<std::uint16_t>((data_[at_] << 8) | data_[at_ + 1]);
        at_ += 2;
        return true;
    }
    bool u32(std::uint32_t* value)
    {
        std::uint16_t high = 0;
        std::uint16_t low = 0;
        if (!has(4) || !u16(&high) || !u16(&low))
            return false;
        *value = (std::uint32_t(high) << 16) | low;
        return true;
    }
    bool skip(std::size_t count)
    {
        if (!has(count))
            return false;
        at_ += count;
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t length_;
    std::size_t at_ = 0;
};

// Labels of length-prefixed text in [data, data + length), joined by "."; a 0 length ends them.
bool readLabels(const std::uint8_t* data, std::size_t length, std::string* out)
{
    out->clear();
    std::size_t at = 0;
    while (at < length) {
        const std::size_t size = data[at];
        if (size == 0)
            break;
        if (size > Dns::kMaxLabelLength || size > length - at - 1)
            return false;
        if (!out->empty())
            out->push_back('.');
        out->append(reinterpret_cast<const char*>(data + at + 1), size);
        at += 1 + size;
    }
    return true;
}

// An uncompressed name ended by a 0 byte.
bool readName(Reader* reader, std::string* out)
{
    out->clear();
    for (;;) {
        std::uint8_t size = 0;
        if (!reader->u8(&size))
            return false;
        if (size == 0)
            return true;
        if (size > Dns::kMaxLabelLength || !reader->has(size))
            return false;
        if (!out->empty())
            out->push_back('.');
        out->append(reinterpret_cast<const char*>(reader->here()), size);
        reader->skip(size);
    }
}

struct RecordHead {
    std::uint16_t namePointer = 0;
    std::uint16_t type = 0;
    std::uint16_t recordClass = 0;
    std::uint32_t ttl = 0;
    std::uint16_t rdLength = 0;
};

// The fixed part of a record whose whole rdata lies inside the data.
bool readRecordHead(Reader* reader, RecordHead* head)
{
    return reader->u16(&head->namePointer) && reader->u16(&head->type) && reader->u16(&head->recordClass)
           && reader->u32(&head->ttl) && reader->u16(&head->rdLength) && reader->has(head->rdLength);
}

std::unique_ptr<DNSAdditionalRecord> recordOfType(std::uint16_t type)
{
    switch (type) {
    case Dns::kTypeA:
        return std::make_unique<DNSHostAddressRecord>();
    case Dns::kTypeTxt:
        return std::make_unique<DNSTXTRecord>();
    case Dns::kTypeSrv:
        return std::make_unique<DNSSRVRecord>();
    default:
        return nullptr;
    }
}

std::uint16_t be16(const std::uint8_t* at)
{
    return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}

void put16(std::vector<std::uint8_t>* out, std::uint16_t value)
{
    out->push_back(static_cast<std::uint8_t>(value >> 8));
    out->push_back(static_cast<std::uint8_t>(value & 0xFF));
}

} // namespace

int DNSHostAddressRecord::parse(const std::uint8_t* rdata)
{
    if (rdLength != Dns::kARdataSize)
        return -1;
    address = std::to_string(rdata[0]) + '.' + std::to_string(rdata[1]) + '.' + std::to_string(rdata[2]) + '.'
              + std::to_string(rdata[3]);
    return static_cast<int>(Dns::kARdataSize);
}

int DNSTXTRecord::parse(const std::uint8_t* rdata)
{
    data_.assign(rdata, rdata + rdLength);
    return rdLength;
}

int DNSSRVRecord::parse(const std::uint8_t* rdata)
{
    if (rdLength < Dns::kSrvFixedSize)
        return -1;
    priority = be16(rdata);
    weight = be16(rdata + 2);
    port = be16(rdata + 4);
    return rdLength;
}

std::vector<std::uint8_t> buildServiceQuery(std::uint16_t id, const std::string& serviceName)
{
    std::vector<std::uint8_t> message;
    put16(&message, id);
    put16(&message, Dns::kFlagsRecursionDesired);
    put16(&message, 1); // QDCOUNT
    put16(&message, 0); // ANCOUNT
    put16(&message, 0); // NSCOUNT
    put16(&message, 0); // ARCOUNT
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = serviceName.find('.', start);
        const std::size_t end = dot == std::string::npos ? serviceName.size() : dot;
        const std::size_t size = end - start;
        if (size == 0 || size > Dns::kMaxLabelLength)
            return {};
        message.push_back(static_cast<std::uint8_t>(size));
        message.insert(message.end(), serviceName.begin() + static_cast<std::ptrdiff_t>(start),
                       serviceName.begin() + static_cast<std::ptrdiff_t>(end));
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    message.push_back(0);
    put16(&message, Dns::kTypePtr);
    put16(&message, Dns::kClassIn);
    return message;
}

bool parseServiceReply(const std::uint8_t* data, std::size_t length, std::uint16_t expectedId, ReplyRecords* out)
{
    *out = ReplyRecords();
    if (!data || length < Dns::kHeaderSize)
        return false;
    Reader reader(data, length);
    reader.u16(&out->id);
    reader.u16(&out->flags);
    reader.u16(&out->questionCount);
    reader.u16(&out->answerCount);
    reader.u16(&out->authorityCount);
    reader.u16(&out->additionalCount);
    if (out->id != expectedId || out->questionCount != 1 || out->answerCount != 1)
        return false;

    if (!readName(&reader, &out->questionName) || !reader.u16(&out->questionType) || !reader.u16(&out->questionClass))
        return false;

    // The answer's rdata: the instance's labels, then a 2-byte pointer to the service name.
    RecordHead answer;
    if (!readRecordHead(&reader, &answer) || answer.rdLength < Dns::kNamePointerSize)
        return false;
    out->answerType = answer.type;
    out->answerClass = answer.recordClass;
    out->answerTtl = answer.ttl;
    if (!readLabels(reader.here(), answer.rdLength - Dns::kNamePointerSize, &out->instanceName))
        return false;
    reader.skip(answer.rdLength);

    // The authority section is taken to be empty.
    for (std::uint16_t i = 0; i < out->additionalCount; ++i) {
        RecordHead head;
        if (!readRecordHead(&reader, &head))
            return false;
        std::unique_ptr<DNSAdditionalRecord> record = recordOfType(head.type);
        if (record) {
            record->namePointer = head.namePointer;
            record->type = head.type;
            record->recordClass = head.recordClass;
            record->ttl = head.ttl;
            record->rdLength = head.rdLength;
            if (record->parse(reader.here()) < 0)
                return false;
            out->additional.push_back(std::move(record));
        }
        // Whatever a record read, the next one starts after its RDLENGTH.
        reader.skip(head.rdLength);
    }
    return true;
}

} // namespace TWG
