#pragma once

// The contract of platform::UsbBackend, as one typed suite that every backend runs: the same
// cases give the same results over the simulated bus and over libusb. A backend joins with a
// bench type (see SimBench, LibusbBench) and INSTANTIATE_TYPED_TEST_SUITE_P.
//
// A bench offers one converter (vendor 0x7C5D, product 0xBD91; interface 0 with bulk OUT 0x02
// and bulk IN 0x81) whose vendor requests answer from a table:
//   bool start(std::string* why);            false (with the reason) when it cannot run
//   platform::UsbBackend& backend();
//   std::string path(); std::string missingPath();
//   void answer(std::uint8_t request, ContractReply reply);   unlisted requests stall
//   std::vector<ContractRequest> requestsSeen();              vendor requests, in order
//   std::vector<Bytes> bulkOutSeen();                         per transfer on 0x02
//   void queueBulkIn(Bytes data);                             on 0x81
//   void unplug();

#include "platform/backend/UsbBackend.h"
#include "tests/support/Bytes.h"
#include "tests/support/SetupPacket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace contract {

using platform::UsbHandle;
using platform::UsbSetup;
using platform::UsbStatus;
using platform::UsbTransferType;
using usbtest::setup;

constexpr std::uint16_t kVendor = 0x7C5D;
constexpr std::uint16_t kProduct = 0xBD91;
constexpr std::uint8_t kBulkOut = 0x02;
constexpr std::uint8_t kBulkIn = 0x81;
constexpr platform::UsbTimeoutMs kTimeoutMs = 1000;

struct ContractReply {
    bool stall = false;
    Bytes data; // IN answer
};

struct ContractRequest {
    UsbSetup setup;
    Bytes data; // OUT data stage
};

template <typename Bench>
class BackendContract : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        ASSERT_TRUE(bench.start(&why)) << why;
        bench.answer(0x10, {false, {1, 2, 3, 4, 5}});
        bench.answer(0x11, {});
        bench.answer(0x12, {true, {}});
    }
    void TearDown() override
    {
        if (handle != platform::kNoUsbHandle)
            bench.backend().close(handle);
    }

    platform::UsbBackend& backend() { return bench.backend(); }
    UsbHandle open()
    {
        UsbHandle h = platform::kNoUsbHandle;
        EXPECT_EQ(backend().open(bench.path(), &h), UsbStatus::Success);
        EXPECT_NE(h, platform::kNoUsbHandle);
        handle = h;
        return h;
    }

    Bench bench;
    UsbHandle handle = platform::kNoUsbHandle;
};

TYPED_TEST_SUITE_P(BackendContract);

TYPED_TEST_P(BackendContract, OpensOneHandleAtATimeAndAClosedHandleIsStale)
{
    UsbHandle h = platform::kNoUsbHandle;
    EXPECT_EQ(this->backend().open(this->bench.missingPath(), &h), UsbStatus::NotFound);
    EXPECT_EQ(h, platform::kNoUsbHandle);

    const UsbHandle first = this->open();
    platform::UsbDeviceDescriptor d;
    ASSERT_EQ(this->backend().deviceDescriptor(first, &d), UsbStatus::Success);
    EXPECT_EQ(d.idVendor, kVendor);
    EXPECT_EQ(d.idProduct, kProduct);
    UsbHandle second = platform::kNoUsbHandle;
    EXPECT_EQ(this->backend().open(this->bench.path(), &second), UsbStatus::AccessDenied) << "opens are exclusive";
    EXPECT_EQ(second, platform::kNoUsbHandle);

    this->backend().close(first);
    this->handle = platform::kNoUsbHandle;
    std::uint8_t in[8] = {};
    std::uint32_t got = 99;
    EXPECT_EQ(this->backend().deviceDescriptor(first, &d), UsbStatus::BadArgument);
    EXPECT_EQ(this->backend().controlTransfer(first, setup(0xC0, 0x10, 8), in, kTimeoutMs, &got),
              UsbStatus::BadArgument);
    EXPECT_EQ(got, 0u);
    this->backend().close(first); // a second close is ignored

    const UsbHandle again = this->open();
    EXPECT_NE(again, first) << "a handle is never reused";
    EXPECT_EQ(this->backend().deviceDescriptor(again, &d), UsbStatus::Success);
}

TYPED_TEST_P(BackendContract, DescribesAPathWithoutOpeningIt)
{
    platform::UsbDeviceDescriptor d;
    ASSERT_EQ(this->backend().describe(this->bench.path(), &d), UsbStatus::Success);
    EXPECT_EQ(d.idVendor, kVendor);
    EXPECT_EQ(d.idProduct, kProduct);
    const UsbHandle h = this->open();
    ASSERT_NE(h, platform::kNoUsbHandle) << "describing left the device free";
    platform::UsbDeviceDescriptor held;
    ASSERT_EQ(this->backend().describe(this->bench.path(), &held), UsbStatus::Success) << "while another holds it";
    EXPECT_EQ(held.idVendor, kVendor);
    EXPECT_EQ(held.idProduct, kProduct);

    EXPECT_EQ(this->backend().describe(this->bench.missingPath(), &d), UsbStatus::NotFound);
    EXPECT_EQ(this->backend().describe("", &d), UsbStatus::NotFound);
    EXPECT_EQ(this->backend().describe(this->bench.path(), nullptr), UsbStatus::BadArgument);
    EXPECT_TRUE(this->bench.requestsSeen().empty());

    this->bench.unplug();
    EXPECT_EQ(this->backend().describe(this->bench.path(), &d), UsbStatus::NotFound) << "unplugged";
}

TYPED_TEST_P(BackendContract, ControlInMayBeShortAndControlOutCarriesItsData)
{
    const UsbHandle h = this->open();
    std::uint8_t in[8];
    std::fill(std::begin(in), std::end(in), 0xEE);
    std::uint32_t got = 99;
    ASSERT_EQ(this->backend().controlTransfer(h, setup(0xC0, 0x10, 8), in, kTimeoutMs, &got), UsbStatus::Success);
    EXPECT_EQ(got, 5u) << "a short IN answer succeeds with its length";
    EXPECT_EQ(Bytes(in, in + 8), (Bytes{1, 2, 3, 4, 5, 0xEE, 0xEE, 0xEE})) << "bytes past the answer stay as they were";

    std::uint8_t out[3] = {7, 8, 9};
    ASSERT_EQ(this->backend().controlTransfer(h, setup(0x40, 0x11, 3, 0x1234, 0x0005), out, kTimeoutMs, &got),
              UsbStatus::Success);
    EXPECT_EQ(got, 3u);
    Bytes largest(4096);
    for (std::size_t i = 0; i < largest.size(); ++i)
        largest[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_EQ(this->backend().controlTransfer(h, setup(0x40, 0x11, 4096, 2), largest.data(), kTimeoutMs, &got),
              UsbStatus::Success)
        << "4096 bytes is the largest data stage";
    EXPECT_EQ(got, 4096u);

    const std::vector<ContractRequest> seen = this->bench.requestsSeen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].setup.bmRequestType, 0x40);
    EXPECT_EQ(seen[1].setup.bRequest, 0x11);
    EXPECT_EQ(seen[1].setup.wValue, 0x1234);
    EXPECT_EQ(seen[1].setup.wIndex, 0x0005);
    EXPECT_EQ(seen[1].setup.wLength, 3);
    EXPECT_EQ(seen[1].data, (Bytes{7, 8, 9}));
    EXPECT_EQ(seen[2].data, largest);
}

TYPED_TEST_P(BackendContract, AStallIsReportedAndTheDeviceAnswersTheNextRequest)
{
    const UsbHandle h = this->open();
    std::uint8_t in[8] = {};
    std::uint32_t got = 99;
    EXPECT_EQ(this->backend().controlTransfer(h, setup(0xC0, 0x12, 1), in, kTimeoutMs, &got), UsbStatus::Stall);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(this->backend().controlTransfer(h, setup(0x40, 0x12, 0), nullptr, kTimeoutMs, &got), UsbStatus::Stall);
    EXPECT_EQ(this->backend().controlTransfer(h, setup(0xC0, 0x10, 8), in, kTimeoutMs, &got), UsbStatus::Success);
    EXPECT_EQ(got, 5u);
}

TYPED_TEST_P(BackendContract, BadArgumentsAreRefusedBeforeAnythingReachesTheDevice)
{
    const UsbHandle h = this->open();
    Bytes buffer(4097, 0);
    std::uint32_t got = 99;
    struct Case {
        const char* name;
        std::function<UsbStatus(platform::UsbBackend&)> call;
    };
    const Case cases[] = {
        {"control OUT data stage of 4097 bytes",
         [&](platform::UsbBackend& b) { return b.controlTransfer(h, setup(0x40, 0x11, 4097), buffer.data(), kTimeoutMs, &got); }},
        {"control IN data stage of 4097 bytes",
         [&](platform::UsbBackend& b) { return b.controlTransfer(h, setup(0xC0, 0x10, 4097), buffer.data(), kTimeoutMs, &got); }},
        {"control without transferred",
         [&](platform::UsbBackend& b) { return b.controlTransfer(h, setup(0x40, 0x11, 1), buffer.data(), kTimeoutMs, nullptr); }},
        {"control without transferred or data stage",
         [&](platform::UsbBackend& b) { return b.controlTransfer(h, setup(0x40, 0x11, 0), nullptr, kTimeoutMs, nullptr); }},
        {"control data stage without data",
         [&](platform::UsbBackend& b) { return b.controlTransfer(h, setup(0x40, 0x11, 4), nullptr, kTimeoutMs, &got); }},
        {"control on an unknown handle",
         [&](platform::UsbBackend& b) { return b.controlTransfer(h + 1000, setup(0x40, 0x11, 1), buffer.data(), kTimeoutMs, &got); }},
        {"bulk on an unclaimed interface",
         [&](platform::UsbBackend& b) { return b.transfer(h, kBulkOut, UsbTransferType::Bulk, buffer.data(), 3, kTimeoutMs, &got); }},
        {"claim of an interface the device lacks", [&](platform::UsbBackend& b) { return b.claimInterface(h, 7); }},
        {"release of an unclaimed interface", [&](platform::UsbBackend& b) { return b.releaseInterface(h, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(this->backend()), UsbStatus::BadArgument);
    }
    ASSERT_EQ(this->backend().claimInterface(h, 0), UsbStatus::Success);
    EXPECT_EQ(this->backend().transfer(h, 0x05, UsbTransferType::Bulk, buffer.data(), 3, kTimeoutMs, &got),
              UsbStatus::BadArgument)
        << "an endpoint the interface lacks";
    EXPECT_EQ(this->backend().transfer(h, kBulkOut, UsbTransferType::Bulk, buffer.data(), 3, kTimeoutMs, nullptr),
              UsbStatus::BadArgument)
        << "bulk without transferred";
    EXPECT_EQ(this->backend().transfer(h, kBulkOut, UsbTransferType::Bulk, nullptr, 3, kTimeoutMs, &got),
              UsbStatus::BadArgument)
        << "bulk without data";

    EXPECT_TRUE(this->bench.requestsSeen().empty());
    EXPECT_TRUE(this->bench.bulkOutSeen().empty());
}

TYPED_TEST_P(BackendContract, BulkMovesDataWhileItsInterfaceIsClaimed)
{
    const UsbHandle h = this->open();
    ASSERT_EQ(this->backend().claimInterface(h, 0), UsbStatus::Success);
    ASSERT_EQ(this->backend().claimInterface(h, 0), UsbStatus::Success) << "claims are counted";
    std::uint8_t out[3] = {1, 2, 3};
    std::uint32_t got = 99;
    ASSERT_EQ(this->backend().transfer(h, kBulkOut, UsbTransferType::Bulk, out, 3, kTimeoutMs, &got),
              UsbStatus::Success);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(this->bench.bulkOutSeen(), (std::vector<Bytes>{{1, 2, 3}}));

    this->bench.queueBulkIn({9, 8, 7});
    std::uint8_t in[64] = {};
    ASSERT_EQ(this->backend().transfer(h, kBulkIn, UsbTransferType::Bulk, in, 64, kTimeoutMs, &got),
              UsbStatus::Success);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(Bytes(in, in + 4), (Bytes{9, 8, 7, 0}));

    EXPECT_EQ(this->backend().releaseInterface(h, 0), UsbStatus::Success);
    EXPECT_EQ(this->backend().transfer(h, kBulkOut, UsbTransferType::Bulk, out, 3, kTimeoutMs, &got),
              UsbStatus::Success)
        << "one claim is still held";
    EXPECT_EQ(this->backend().releaseInterface(h, 0), UsbStatus::Success);
    EXPECT_EQ(this->backend().transfer(h, kBulkOut, UsbTransferType::Bulk, out, 3, kTimeoutMs, &got),
              UsbStatus::BadArgument)
        << "released";
    EXPECT_EQ(this->bench.bulkOutSeen().size(), 2u);
}

TYPED_TEST_P(BackendContract, AnUnpluggedDeviceIsGoneForEveryTransfer)
{
    const UsbHandle h = this->open();
    ASSERT_EQ(this->backend().claimInterface(h, 0), UsbStatus::Success);
    this->bench.unplug();
    std::uint8_t in[8] = {};
    std::uint32_t got = 99;
    EXPECT_EQ(this->backend().controlTransfer(h, setup(0xC0, 0x10, 8), in, kTimeoutMs, &got), UsbStatus::Gone);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(this->backend().controlTransfer(h, setup(0x40, 0x11, 0), nullptr, kTimeoutMs, &got), UsbStatus::Gone);
    std::uint8_t out[3] = {1, 2, 3};
    EXPECT_EQ(this->backend().transfer(h, kBulkOut, UsbTransferType::Bulk, out, 3, kTimeoutMs, &got),
              UsbStatus::Gone);
    EXPECT_EQ(this->backend().transfer(h, kBulkIn, UsbTransferType::Bulk, in, 8, kTimeoutMs, &got), UsbStatus::Gone);
    this->backend().close(h);
    this->handle = platform::kNoUsbHandle;
    EXPECT_TRUE(this->bench.requestsSeen().empty());
}

REGISTER_TYPED_TEST_SUITE_P(BackendContract, OpensOneHandleAtATimeAndAClosedHandleIsStale,
                            DescribesAPathWithoutOpeningIt,
                            ControlInMayBeShortAndControlOutCarriesItsData,
                            AStallIsReportedAndTheDeviceAnswersTheNextRequest,
                            BadArgumentsAreRefusedBeforeAnythingReachesTheDevice,
                            BulkMovesDataWhileItsInterfaceIsClaimed, AnUnpluggedDeviceIsGoneForEveryTransfer);

} // namespace contract
