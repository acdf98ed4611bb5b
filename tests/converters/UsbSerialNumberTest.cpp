#include "converters/UsbSerialNumber.h"
#include "platform/sim/SimScenario.h"

#include "support/ConverterSimFixture.h"
#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

using namespace convtest;
using TWG::Converters::stringDescriptorText;

namespace {

Bytes padded(Bytes bytes, std::size_t size)
{
    bytes.resize(size, 0);
    return bytes;
}

struct TextCase {
    const char* name;
    Bytes buffer; // as read: zero-filled behind the answer
    QString text;
    std::size_t size = 0; // the buffer's size as passed; 0: all of it
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

const TextCase kTextCases[] = {
    {"Good", {10, 3, 'S', 0, 'N', 0, '-', 0, '7', 0}, QStringLiteral("SN-7")},
    {"NotAscii", {6, 3, 0xE9, 0x00, 0x3A, 0x04}, QString::fromUtf8("\xC3\xA9\xD0\xBA")},
    {"HeaderOnly", {2, 3}, {}},
    {"LengthZero", {0, 3, 'A', 0}, {}},
    {"LengthOne", {1, 3, 'A', 0}, {}},
    {"DeviceDescriptorType", {6, 1, 'A', 0, 'B', 0}, {}},
    {"ConfigurationDescriptorType", {6, 2, 'A', 0, 'B', 0}, {}},
    // The device sent less than bLength: the zeros of the buffer end the text.
    {"ShortAnswer", padded({10, 3, 'A', 0, 'B', 0}, 255), QStringLiteral("AB")},
    {"LengthEndsTheText", {6, 3, 'A', 0, 'B', 0, 'C', 0}, QStringLiteral("AB")},
    // Bytes past the given size are not the answer's, whatever they hold.
    {"LengthPastTheBuffer", {20, 3, 'A', 0, 'B', 0, 'X', 0, 'Y', 0}, QStringLiteral("AB"), 6},
    {"OddLengthDropsTheHalfCharacter", {7, 3, 'A', 0, 'B', 0, 'C'}, QStringLiteral("AB")},
    {"NulEndsTheText", {10, 3, 'A', 0, 0, 0, 'B', 0, 'C', 0}, QStringLiteral("A")},
    {"BufferShorterThanAHeader", {4}, {}},
    {"NoBuffer", {}, {}},
};

class StringDescriptorText : public ::testing::TestWithParam<TextCase> {};

TEST_P(StringDescriptorText, TakesOnlyWhatTheDescriptorHolds)
{
    const TextCase& c = GetParam();
    const std::size_t size = c.size ? c.size : c.buffer.size();
    EXPECT_EQ(stringDescriptorText(c.buffer.empty() ? nullptr : c.buffer.data(), size), c.text);
}

INSTANTIATE_TEST_SUITE_P(Table, StringDescriptorText, ::testing::ValuesIn(kTextCases),
                         [](const ::testing::TestParamInfo<TextCase>& info) { return info.param.name; });

// What the converter layer reads when an FX2 converter arrives, on the simulated bus: the
// scenario's "serial" (if any), one standard request, and the fault it may meet.
struct ReadCase {
    const char* name;
    const char* serial; // null: the device has no serial-number string
    std::optional<platform::SimFaultAction> fault;
    QString expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

const ReadCase kReadCases[] = {
    {"Serial", "SN-0042", std::nullopt, QStringLiteral("SN-0042")},
    {"NoSerial", nullptr, std::nullopt, {}},
    {"Stalled", "SN-0042", platform::SimFaultAction::Stall, {}},
    {"TimedOut", "SN-0042", platform::SimFaultAction::Timeout, {}},
    // 2 header bytes and 2 characters of 7.
    {"ShortAnswer", "SN-0042", platform::SimFaultAction::Short, QStringLiteral("SN")},
};

class SerialNumberOnSim : public ConverterSimFixture, public ::testing::WithParamInterface<ReadCase> {};

bool isStringRequest(const platform::SimRequest& r)
{
    return r.kind == platform::SimRequestKind::Control && r.setup.bmRequestType == 0x80 && r.setup.bRequest == 6 &&
           (r.setup.wValue >> 8) == 3;
}

TEST_P(SerialNumberOnSim, IsReadOnceWhenTheConverterIsMade)
{
    const ReadCase& c = GetParam();
    QJsonObject entry{{"model", "fx2"}, {"product", "0xBD2E"}};
    if (c.serial)
        entry.insert("serial", c.serial);
    if (c.fault) {
        platform::SimFault f;
        f.action = *c.fault;
        f.match = isStringRequest;
        f.shortLength = 6;
        bus.addFault(f);
    }
    QString error;
    const QJsonObject scenario{{"devices", QJsonArray{entry}}};
    ASSERT_TRUE(platform::loadSimScenario(QJsonDocument(scenario).toJson(), bus, &error)) << error.toStdString();
    start();
    run(100);
    ASSERT_TRUE(only()) << "a converter whose serial is unreadable is still a converter";
    EXPECT_EQ(only()->serialNumber(), c.expected);

    std::vector<platform::SimRequest> reads;
    for (const platform::SimRequest& r : bus.transcript())
        if (isStringRequest(r))
            reads.push_back(r);
    if (!c.serial) {
        EXPECT_TRUE(reads.empty()) << "no serial-number index, no request";
        return;
    }
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].setup.wValue, 0x0303); // string descriptor, the scenario's serial index
    EXPECT_EQ(reads[0].setup.wIndex, 0x0409);
    EXPECT_EQ(reads[0].setup.wLength, 255);
}

INSTANTIATE_TEST_SUITE_P(Table, SerialNumberOnSim, ::testing::ValuesIn(kReadCases),
                         [](const ::testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

} // namespace
