#include "UsbTestSupport.h"

#include "usb/DriverBuffers.h"
#include "usb/IUSBInterface.h"
#include "usb/IUSBInterfaceIterator.h"
#include "usb/UsbConstants.h"
#include "usb/UsbStatus.h"

#include <cstring>

using namespace TWG::USB;
using usbtest::FakeDriverPort;

namespace {

class UsbDriverLayout : public usbtest::UsbFixture {};

bool answerVersion(std::uint8_t* out, std::uint32_t* returned, std::uint32_t a, std::uint32_t b, std::uint32_t n)
{
    putU32(out, a);
    putU32(out + 4, b);
    *returned = n;
    return true;
}

} // namespace

TEST_F(UsbDriverLayout, VersionRuleAcceptsAtLeastFiveAndAtMostFive)
{
    struct Row {
        std::uint32_t a, b, returned;
        bool accepted;
    } rows[] = {{5, 5, 8, true}, {6, 0, 8, true}, {4, 5, 8, false}, {5, 6, 8, false}, {5, 5, 4, false}};
    for (const Row& row : rows) {
        port.setHandler(driver::kGetVersion, [row](const FakeDriverPort::Call&, std::uint8_t* out, std::uint32_t* n) {
            return answerVersion(out, n, row.a, row.b, row.returned);
        });
        DriverConnection* c = DriverConnection::connectToDriverWithPath("fake:1", platform::kNoWindow, 0);
        EXPECT_EQ(c != nullptr, row.accepted) << row.a << "," << row.b << " returned " << row.returned;
        EXPECT_EQ(port.openConnections(), row.accepted ? 1 : 0);
        if (c)
            c->release();
        EXPECT_EQ(port.openConnections(), 0);
    }
}

TEST_F(UsbDriverLayout, ControlTransferCarriesHeaderAndDataStageAndCopiesInDataBack)
{
    struct Row {
        std::uint8_t bmRequestType, direction, type, recipient;
    } rows[] = {{0xC1, 1, 2, 1}, {0x41, 0, 2, 1}, {0xC0, 1, 2, 0}, {0xA1, 1, 1, 1}, {0x80, 1, 0, 0}};
    for (const Row& row : rows) {
        std::vector<std::uint8_t> sent;
        port.setHandler(driver::kControlTransfer, [&sent](const FakeDriverPort::Call& call, std::uint8_t* out,
                                                      std::uint32_t* n) {
            sent = call.in;
            EXPECT_EQ(call.outLength, call.in.size());
            std::memcpy(out, call.in.data(), call.in.size());
            for (std::size_t i = driver::kControlHeaderLength; i < call.in.size(); ++i)
                out[i] = static_cast<std::uint8_t>(0x50 + i);
            *n = static_cast<std::uint32_t>(call.in.size());
            return true;
        });
        CUSBDevice* dev = openDevice();
        ASSERT_TRUE(dev);
        std::uint8_t data[3] = {0x11, 0x22, 0x33};
        USBControlRequest r;
        r.bmRequestType = row.bmRequestType;
        r.bRequest = 0xB7;
        r.wValue = 0x1234;
        r.wIndex = 0xABCD;
        r.wLength = sizeof data;
        r.data = data;
        r.timeoutA = 1000;
        r.timeoutB = 0x01020304;
        EXPECT_EQ(dev->controlTransfer(&r), kResultSuccess);
        const std::vector<std::uint8_t> expected = {row.direction, row.type, row.recipient, 0xB7, 0x34, 0x12,
                                                    0xCD, 0xAB, 3, 0, 0, 0, 0xE8, 0x03, 0, 0, 4, 3, 2, 1,
                                                    0x11, 0x22, 0x33};
        EXPECT_EQ(sent, expected) << std::hex << int(row.bmRequestType);
        if (row.direction)
            EXPECT_EQ(std::vector<std::uint8_t>(data, data + 3), (std::vector<std::uint8_t>{0x64, 0x65, 0x66}));
        else
            EXPECT_EQ(std::vector<std::uint8_t>(data, data + 3), (std::vector<std::uint8_t>{0x11, 0x22, 0x33}));
        dev->release();
    }
    CUSBDevice* dev = openDevice();
    EXPECT_EQ(dev->controlTransfer(nullptr), kResultBadArgument);
    dev->release();
}

TEST_F(UsbDriverLayout, WrongAnswerLengthFailsAndLeavesTheBufferAlone)
{
    for (int delta : {-1, +1, -20}) {
        port.setHandler(driver::kControlTransfer, [delta](const FakeDriverPort::Call& call, std::uint8_t* out,
                                                       std::uint32_t* n) {
            std::memset(out, 0x99, call.outLength);
            *n = static_cast<std::uint32_t>(int(call.in.size()) + delta);
            return true;
        });
        CUSBDevice* dev = openDevice();
        std::uint8_t data[4] = {0xE0, 0xE0, 0xE0, 0xE0};
        USBControlRequest r = USBControlRequest::deviceRequest(1, 0xB1, 0, 0, sizeof data, data);
        EXPECT_EQ(dev->controlTransfer(&r), kResultFailure) << delta;
        EXPECT_EQ(std::vector<std::uint8_t>(data, data + 4), std::vector<std::uint8_t>(4, 0xE0));
        dev->release();
    }
}

TEST_F(UsbDriverLayout, FailedTransferMapsTheUsbStatus)
{
    struct Row {
        bool readable;
        std::uint32_t status;
        std::uint32_t statusLength;
        std::uint32_t result;
    } rows[] = {
        {true, 0, 4, 1},           {true, 0x12345, 4, 1},     {true, 0x80000300, 4, 4},
        {true, 0x80000600, 4, 11}, {true, 0xC0000004, 4, 16}, {true, 0xC0000005, 4, 9},
        {true, 0xC0001000, 4, 2},  {true, 0xC0004000, 4, 17}, {true, 0xC0006000, 4, 15},
        {true, 0xC0007000, 4, 3},  {true, 0xC0000001, 4, 1},  {true, 0x80000000, 4, 1},
        {true, 0xC0000004, 2, 1},  {false, 0xC0000004, 4, 1},
    };
    port.setHandler(driver::kControlTransfer, [](const FakeDriverPort::Call&, std::uint8_t*, std::uint32_t* n) {
        *n = 0;
        return false;
    });
    CUSBDevice* dev = openDevice();
    for (const Row& row : rows) {
        port.setHandler(driver::kGetLastUsbStatus, [row](const FakeDriverPort::Call&, std::uint8_t* out,
                                                     std::uint32_t* n) {
            putU32(out, row.status);
            *n = row.statusLength;
            return row.readable;
        });
        std::uint8_t data[2] = {7, 7};
        USBControlRequest r = USBControlRequest::deviceRequest(1, 0xB1, 0, 0, sizeof data, data);
        EXPECT_EQ(dev->controlTransfer(&r), row.result) << std::hex << row.status;
        EXPECT_EQ(data[0], 7);
    }
    dev->release();
    // The map itself reads every non-negative status as success; a failed call never is one.
    EXPECT_EQ(resultForUsbStatus(0), kResultSuccess);
    EXPECT_EQ(resultForUsbStatus(0x12345), kResultSuccess);
}

TEST_F(UsbDriverLayout, DeviceQueriesNeedExactlyTheirLength)
{
    struct Query {
        const char* name;
        std::uint32_t code;
        std::uint32_t required;
        std::function<std::uint32_t(CUSBDevice*, std::uint32_t*)> call;
    };
    auto byte = [](std::uint32_t (CUSBDevice::*f)(std::uint8_t*)) {
        return [f](CUSBDevice* d, std::uint32_t* v) {
            std::uint8_t b = 0xAA;
            std::uint32_t r = (d->*f)(&b);
            *v = b;
            return r;
        };
    };
    auto word = [](std::uint32_t (CUSBDevice::*f)(std::uint16_t*)) {
        return [f](CUSBDevice* d, std::uint32_t* v) {
            std::uint16_t w = 0xAAAA;
            std::uint32_t r = (d->*f)(&w);
            *v = w;
            return r;
        };
    };
    const Query queries[] = {
        {"fieldA", driver::kGetDeviceClass, 4, byte(&CUSBDevice::getDeviceFieldA)},
        {"fieldB", driver::kGetDeviceSubClass, 4, byte(&CUSBDevice::getDeviceFieldB)},
        {"product", driver::kGetProductId, 4, word(&CUSBDevice::getProductId)},
        {"fieldC", driver::kGetDeviceProtocol, 4, byte(&CUSBDevice::getDeviceFieldC)},
        {"release", driver::kGetDeviceRelease, 4, word(&CUSBDevice::getDeviceRelease)},
        {"fieldD", driver::kGetMaxPacketSize0, 4, byte(&CUSBDevice::getDeviceFieldD)},
        {"vendor", driver::kGetVendorId, 4, word(&CUSBDevice::getVendorId)},
        {"configurations", driver::kGetConfigurationCount, 4, byte(&CUSBDevice::getConfigurationCount)},
        {"serial", driver::kGetSerialNumberIndex, 1, byte(&CUSBDevice::getSerialNumberIndex)},
    };
    CUSBDevice* dev = openDevice();
    for (const Query& q : queries) {
        for (std::uint32_t returned : {0u, 1u, 2u, 4u}) {
            port.setHandler(q.code, [returned](const FakeDriverPort::Call& call, std::uint8_t* out,
                                               std::uint32_t* n) {
                EXPECT_TRUE(call.in.empty());
                EXPECT_EQ(call.outLength, 4u);
                putU32(out, 0x87654321);
                *n = returned;
                return true;
            });
            std::uint32_t value = 0;
            std::uint32_t result = q.call(dev, &value);
            if (returned == q.required) {
                EXPECT_EQ(result, kResultSuccess) << q.name;
                EXPECT_EQ(value, q.code == driver::kGetProductId || q.code == driver::kGetDeviceRelease ||
                                         q.code == driver::kGetVendorId
                                     ? 0x4321u
                                     : 0x21u)
                    << q.name;
            } else {
                EXPECT_EQ(result, kResultFailure) << q.name << " returned " << returned;
            }
        }
        port.setHandler(q.code, [](const FakeDriverPort::Call&, std::uint8_t*, std::uint32_t* n) {
            *n = 4;
            return false;
        });
        std::uint32_t value = 0;
        EXPECT_EQ(q.call(dev, &value), kResultFailure) << q.name;
    }
    EXPECT_EQ(dev->getProductId(nullptr), kResultBadArgument);
    EXPECT_EQ(dev->queryUnsupportedA(), kResultFailure);
    EXPECT_EQ(dev->queryUnsupportedB(), kResultFailure);
    dev->release();
}

TEST_F(UsbDriverLayout, InterfaceCallsSendTheEntryAndPipeHeadersAreSixteenBytes)
{
    port.addDevice([] {
        FakeDriverPort::Device d;
        d.path = "fake:entries";
        d.interfaces = {0x00000103};
        return d;
    }());
    CUSBDevice* dev = openDevice("fake:entries");
    const std::uint32_t filter[2] = {0xFFFFFFFF, 0xFFFFFFFF};
    IUSBInterfaceIterator* it = nullptr;
    ASSERT_EQ(dev->createInterfaceIterator(filter, &it), kResultSuccess);
    IUSBInterface* intf = nullptr;
    ASSERT_TRUE(it->next(&intf));
    it->release();

    const std::pair<std::uint32_t, std::uint32_t (IUSBInterface::*)(std::uint8_t*)> queries[] = {
        {driver::kGetInterfaceClass, &IUSBInterface::getInterfaceFieldA},
        {driver::kGetInterfaceNumber, &IUSBInterface::getInterfaceNumber},
        {driver::kGetInterfaceSubClass, &IUSBInterface::getInterfaceFieldB},
        {driver::kGetInterfaceProtocol, &IUSBInterface::getInterfaceFieldC},
        {driver::kGetEndpointCount, &IUSBInterface::getEndpointCount},
    };
    for (const auto& q : queries) {
        for (std::uint32_t returned : {3u, 4u}) {
            port.setHandler(q.first, [returned](const FakeDriverPort::Call& call, std::uint8_t* out,
                                                std::uint32_t* n) {
                EXPECT_EQ(call.in, (std::vector<std::uint8_t>{3, 1, 0, 0})); // the entry
                putU32(out, 0x5A);
                *n = returned;
                return true;
            });
            std::uint8_t value = 0;
            EXPECT_EQ((intf->*q.second)(&value), returned == 4 ? kResultSuccess : kResultFailure)
                << std::hex << q.first;
            EXPECT_EQ(value, returned == 4 ? 0x5A : 0) << std::hex << q.first;
        }
    }

    port.setHandler(driver::kGetEndpointInfo, [](const FakeDriverPort::Call& call, std::uint8_t* out, std::uint32_t* n) {
        EXPECT_EQ(call.in, (std::vector<std::uint8_t>{3, 1, 0, 0, 2, 0, 0, 0}));
        const std::uint8_t info[6] = {1, 2, 0x00, 0x02, 9, 0};
        std::memcpy(out, info, 6);
        *n = 6;
        return true;
    });
    std::uint8_t direction = 0, type = 0, extra = 0;
    std::uint16_t maxPacket = 0;
    EXPECT_EQ(intf->getEndpointInfo(2, &direction, &type, &maxPacket, &extra), kResultSuccess);
    EXPECT_EQ(direction, 1);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(maxPacket, 512);
    EXPECT_EQ(extra, 9);

    const std::uint8_t payload[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(intf->write(2, payload, sizeof payload, 5000, 10000), kResultSuccess);
    EXPECT_EQ(port.calls(driver::kPipeWrite).back().in,
              (std::vector<std::uint8_t>{3, 2, 0, 0, 5, 0, 0, 0, 0x88, 0x13, 0, 0, 0x10, 0x27, 0, 0, 1, 2, 3, 4, 5}));

    port.setHandler(driver::kPipeRead, [](const FakeDriverPort::Call& call, std::uint8_t* out, std::uint32_t* n) {
        EXPECT_EQ(call.in, (std::vector<std::uint8_t>{3, 1, 0, 0, 8, 0, 0, 0, 0x88, 0x13, 0, 0, 0x88, 0x13, 0, 0}));
        EXPECT_EQ(call.outLength, 8u);
        out[0] = 0x42;
        *n = 1;
        return true;
    });
    std::uint8_t buffer[8] = {};
    std::uint32_t size = sizeof buffer;
    EXPECT_EQ(intf->read(1, buffer, &size, 5000, 5000), kResultSuccess);
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(buffer[0], 0x42);
    EXPECT_EQ(intf->read(1, buffer, nullptr, 5000, 5000), kResultBadArgument);

    // A write the driver took only part of, and failures: time-out (121) is 15, others 1.
    port.setHandler(driver::kPipeWrite, [](const FakeDriverPort::Call&, std::uint8_t*, std::uint32_t* n) {
        *n = 4;
        return true;
    });
    EXPECT_EQ(intf->write(2, payload, sizeof payload, 5000, 5000), kResultFailure);
    for (std::uint32_t error : {platform::ERROR_SEM_TIMEOUT, platform::ERROR_GEN_FAILURE}) {
        auto fail = [error](const FakeDriverPort::Call&, std::uint8_t*, std::uint32_t* n) {
            *n = 0;
            platform::DriverPort::setLastError(error);
            return false;
        };
        port.setHandler(driver::kPipeWrite, fail);
        port.setHandler(driver::kPipeRead, fail);
        const std::uint32_t expected = error == platform::ERROR_SEM_TIMEOUT ? kResultTimeout : kResultFailure;
        EXPECT_EQ(intf->write(2, payload, sizeof payload, 5000, 5000), expected);
        size = sizeof buffer;
        EXPECT_EQ(intf->read(1, buffer, &size, 5000, 5000), expected);
    }
    intf->release();
    dev->release();
    EXPECT_EQ(port.openConnections(), 0);
}
