#include "../sim/ScriptedSimDevice.h"

#include "platform/Clock.h"
#include "platform/driver/DriverCodes.h"
#include "platform/emulator/DriverEmulator.h"
#include "platform/sim/SimBackend.h"
#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

using namespace platform;

namespace {

void put16(Bytes& b, std::size_t at, std::uint32_t v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t get32(const Bytes& b, std::size_t at = 0)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

Bytes words(std::initializer_list<std::uint32_t> list)
{
    Bytes b(4 * list.size());
    std::size_t at = 0;
    for (std::uint32_t w : list) {
        put32(b, at, w);
        at += 4;
    }
    return b;
}

// The library's control buffer: 20-byte header, then the data stage.
Bytes controlBuffer(std::uint8_t bmRequestType, std::uint8_t bRequest, std::uint16_t wValue, std::uint16_t wIndex,
                    std::uint16_t wLength, std::uint8_t fill = 0)
{
    Bytes b(driver::kControlHeaderLength + wLength, fill);
    std::memset(b.data(), 0, driver::kControlHeaderLength);
    b[0] = bmRequestType >> 7;
    b[1] = (bmRequestType >> 5) & 3;
    b[2] = bmRequestType & 0x1F;
    b[3] = bRequest;
    put16(b, 4, wValue);
    put16(b, 6, wIndex);
    put16(b, 8, wLength);
    put32(b, 12, 1000);
    put32(b, 16, 1000);
    return b;
}

Bytes pipeBuffer(std::uint8_t entry, std::uint8_t pipe, std::uint32_t length, std::uint32_t timeout,
                 const Bytes& data = {})
{
    Bytes b(driver::kPipeHeaderLength);
    b[0] = entry;
    b[1] = pipe;
    put32(b, 4, length);
    put32(b, 8, timeout);
    put32(b, 12, timeout);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

class EmulatorTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        port.close(connection);
        EXPECT_EQ(bus.liveObjects(), 0);
    }

    // One control code; *out is resized to what came back.
    bool call(std::uint32_t code, Bytes in, std::uint32_t outSize, Bytes* out = nullptr)
    {
        Bytes answer(outSize, 0xCC);
        std::uint32_t returned = 0xFFFF;
        const bool ok = port.ioctl(connection, code, in.data(), static_cast<std::uint32_t>(in.size()),
                                   answer.data(), outSize, &returned);
        answer.resize(ok ? returned : 0);
        if (out)
            *out = answer;
        return ok;
    }

    std::uint32_t lastStatus()
    {
        Bytes out;
        EXPECT_TRUE(call(driver::kGetLastUsbStatus, {}, 4, &out));
        return out.size() == 4 ? get32(out) : 0xDEAD;
    }

    // Control transfer through one shared in/out buffer, as the library does it.
    bool control(Bytes& buffer, std::uint32_t* returned)
    {
        return port.ioctl(connection, driver::kControlTransfer, buffer.data(), static_cast<std::uint32_t>(buffer.size()),
                          buffer.data(), static_cast<std::uint32_t>(buffer.size()), returned);
    }

    VirtualClock virtualClock;
    ClockOverride clockGuard{&virtualClock};
    SimBackend bus;
    std::shared_ptr<simtest::ScriptedSimDevice> device = std::make_shared<simtest::ScriptedSimDevice>();
    std::string path = bus.attach(device);
    DriverEmulator port{bus};
    ConnectionId connection = port.open(path);
};

TEST_F(EmulatorTest, OpensExclusivelyAndAnswersVersionAndDeviceQueries)
{
    ASSERT_NE(connection, kInvalidConnection);
    EXPECT_EQ(port.enumerateInterfaces(kDriverInterfaceGuid), std::vector<std::string>{path});
    EXPECT_TRUE(port.enumerateInterfaces(Guid{1, 2, 3, {}}).empty());
    EXPECT_EQ(port.open(path), kInvalidConnection);
    EXPECT_EQ(DriverPort::lastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(port.open("sim:999"), kInvalidConnection);
    EXPECT_EQ(DriverPort::lastError(), ERROR_FILE_NOT_FOUND);

    Bytes out;
    ASSERT_TRUE(call(driver::kGetVersion, {}, 8, &out));
    EXPECT_EQ(out, words({5, 5}));

    const struct {
        std::uint32_t code;
        std::uint32_t value;
        std::uint32_t length;
    } queries[] = {
        {driver::kGetProductId, simtest::kProduct, 4},      {driver::kGetDeviceRelease, simtest::kRelease, 4},
        {driver::kGetVendorId, simtest::kVendor, 4},        {driver::kGetConfigurationCount, 1, 4},
        {driver::kGetSerialNumberIndex, simtest::kSerialIndex, 1},
        {driver::kGetDeviceClass, 0xEF, 4},                 {driver::kGetDeviceSubClass, 0x02, 4},
        {driver::kGetDeviceProtocol, 0x01, 4},              {driver::kGetMaxPacketSize0, 64, 4},
    };
    for (const auto& q : queries) {
        SCOPED_TRACE(q.code);
        ASSERT_TRUE(call(q.code, {}, 4, &out));
        ASSERT_EQ(out.size(), q.length);
        out.resize(4, 0);
        EXPECT_EQ(get32(out), q.value);
    }
    EXPECT_FALSE(call(driver::kGetProductId, {}, 2));
    EXPECT_EQ(DriverPort::lastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_FALSE(call(0x222FFC, {}, 4));
}

TEST_F(EmulatorTest, DeviceIdsOfAPathNeedNoConnection)
{
    // The fixture's connection holds the device: the ids still come, and nothing reaches it.
    ASSERT_NE(connection, kInvalidConnection);
    bus.clearTranscript();
    std::uint16_t vendor = 0, product = 0;
    ASSERT_TRUE(port.deviceIds(path, &vendor, &product));
    EXPECT_EQ(DriverPort::lastError(), ERROR_SUCCESS);
    EXPECT_EQ(vendor, simtest::kVendor);
    EXPECT_EQ(product, simtest::kProduct);
    EXPECT_TRUE(bus.transcript().empty());

    EXPECT_FALSE(port.deviceIds("sim:999", &vendor, &product));
    EXPECT_EQ(DriverPort::lastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(port.deviceIds(path, nullptr, &product));
    EXPECT_EQ(DriverPort::lastError(), ERROR_INVALID_PARAMETER);
    bus.detach(path);
    EXPECT_FALSE(port.deviceIds(path, &vendor, &product));
    EXPECT_EQ(DriverPort::lastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(EmulatorTest, ControlTransfersCarryHeaderAndDataStage)
{
    device->answers[0x11] = {7, 8};
    Bytes out = controlBuffer(0x41, 0x22, 0x1234, 0x0001, 3);
    out[20] = 0xA1, out[21] = 0xA2, out[22] = 0xA3;
    std::uint32_t returned = 0;
    ASSERT_TRUE(control(out, &returned));
    EXPECT_EQ(returned, 23u);
    ASSERT_EQ(device->requestData.size(), 1u);
    EXPECT_EQ(device->requestData[0], (Bytes{0xA1, 0xA2, 0xA3}));
    const SimRequest seen = bus.transcript().back();
    EXPECT_EQ(seen.setup.bmRequestType, 0x41);
    EXPECT_EQ(seen.setup.bRequest, 0x22);
    EXPECT_EQ(seen.setup.wValue, 0x1234);
    EXPECT_EQ(seen.setup.wIndex, 0x0001);

    // A short IN answer succeeds with the full count; the caller's bytes behind it stay.
    Bytes in = controlBuffer(0xC1, 0x11, 0, 0, 4, 0xE0);
    const Bytes header(in.begin(), in.begin() + 20);
    ASSERT_TRUE(control(in, &returned));
    EXPECT_EQ(returned, 24u);
    EXPECT_EQ(Bytes(in.begin(), in.begin() + 20), header);
    EXPECT_EQ(Bytes(in.begin() + 20, in.end()), (Bytes{7, 8, 0xE0, 0xE0}));

    // A string descriptor asked for with 256 bytes, as the callers do.
    Bytes string = controlBuffer(0x80, 6, 0x0300 | simtest::kSerialIndex, 0x0409, 256);
    ASSERT_TRUE(control(string, &returned));
    EXPECT_EQ(returned, 276u);
    EXPECT_EQ(Bytes(string.begin() + 20, string.begin() + 30), (Bytes{10, 3, 'S', 0, 'N', 0, '4', 0, '2', 0}));
    EXPECT_EQ(lastStatus(), 0u);

    // Over 4096 bytes of data stage: refused before it reaches the device.
    const std::size_t before = bus.transcript().size();
    Bytes big = controlBuffer(0x41, 0x22, 0, 0, 4097);
    EXPECT_FALSE(control(big, &returned));
    EXPECT_EQ(lastStatus(), usbd::kBadArgument);
    EXPECT_EQ(bus.transcript().size(), before);
    Bytes limit = controlBuffer(0x41, 0x22, 0, 0, 4096);
    EXPECT_TRUE(control(limit, &returned));
}

TEST_F(EmulatorTest, FailedRequestsReportTheirUsbStatusPerThread)
{
    const struct {
        SimFaultAction action;
        std::uint32_t status;
        std::uint32_t pipeError;
    } cases[] = {
        {SimFaultAction::Stall, usbd::kStall, ERROR_GEN_FAILURE},
        {SimFaultAction::Timeout, usbd::kTimeout, ERROR_SEM_TIMEOUT},
        {SimFaultAction::Unplug, usbd::kDeviceGone, ERROR_DEVICE_NOT_CONNECTED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.action));
        SimFault fault;
        fault.action = c.action;
        fault.kind = SimRequestKind::Control;
        fault.bRequest = 0x30;
        bus.addFault(fault);
        Bytes request = controlBuffer(0xC1, 0x30, 0, 0, 2);
        std::uint32_t returned = 0;
        const auto started = virtualClock.now();
        EXPECT_FALSE(control(request, &returned));
        EXPECT_EQ(lastStatus(), c.status);
        if (c.action == SimFaultAction::Timeout) {
            EXPECT_EQ(virtualClock.elapsedMs(started), 1000);
        }
        // Another thread has its own status.
        std::uint32_t other = 0xDEAD;
        std::thread([&] { other = lastStatus(); }).join();
        EXPECT_EQ(other, 0u);

        fault.kind = SimRequestKind::Out;
        fault.bRequest = -1;
        bus.addFault(fault);
        Bytes write = pipeBuffer(0, 1, 4, 5000, {1, 2, 3, 4});
        EXPECT_FALSE(call(driver::kPipeWrite, write, 0));
        EXPECT_EQ(DriverPort::lastError(), c.pipeError);

        if (c.action == SimFaultAction::Unplug) {
            EXPECT_FALSE(call(driver::kGetProductId, {}, 4));
            EXPECT_EQ(lastStatus(), usbd::kDeviceGone);
        }
    }
}

TEST_F(EmulatorTest, DescriptorAndInterfaceListsUseTheTwoCallProtocol)
{
    Bytes out;
    ASSERT_TRUE(call(driver::kGetConfigDescriptor, words({0}), 4, &out));
    ASSERT_EQ(out.size(), 4u);
    const std::uint32_t total = get32(out);
    const std::vector<std::uint8_t> raw = encodeConfiguration(simtest::scriptedDescriptors().configurations[0]);
    EXPECT_EQ(total, 4 + raw.size());
    ASSERT_TRUE(call(driver::kGetConfigDescriptor, words({0}), total, &out));
    ASSERT_EQ(out.size(), total);
    EXPECT_EQ(Bytes(out.begin() + 4, out.end()), raw);
    EXPECT_FALSE(call(driver::kGetConfigDescriptor, words({1}), 4));

    // The filter words of the callers: any; FF/FF/FF; FF/03/00; FE/01/any.
    const struct {
        std::uint32_t word0, word1;
        std::vector<std::uint32_t> entries;
    } filters[] = {
        {0xFFFFFFFF, 0xFFFFFFFF, {0, 1, 2, 3}},
        {0x00FF00FF, 0xFFFF00FF, {0}},
        {0x000300FF, 0xFFFF0000, {1}},
        {0x000100FE, 0xFFFFFFFF, {2}},
        {0x00000008, 0xFFFFFFFF, {}},
    };
    for (const auto& f : filters) {
        SCOPED_TRACE(f.word0);
        ASSERT_TRUE(call(driver::kGetInterfaceList, words({f.word0, f.word1}), 4, &out));
        ASSERT_EQ(out.size(), 4u);
        ASSERT_EQ(get32(out), f.entries.size());
        const std::uint32_t size = 4 + 4 * static_cast<std::uint32_t>(f.entries.size());
        ASSERT_TRUE(call(driver::kGetInterfaceList, words({f.word0, f.word1}), size, &out));
        ASSERT_EQ(out.size(), size);
        for (std::size_t i = 0; i < f.entries.size(); ++i)
            EXPECT_EQ(get32(out, 4 + 4 * i), f.entries[i]);
    }
}

TEST_F(EmulatorTest, InterfaceAndEndpointQueries)
{
    const struct {
        std::uint32_t code, entry, value;
    } queries[] = {
        {driver::kGetInterfaceNumber, 2, 2},   {driver::kGetInterfaceClass, 2, 0xFE},
        {driver::kGetInterfaceSubClass, 1, 3}, {driver::kGetInterfaceProtocol, 2, 2},
        {driver::kGetEndpointCount, 0, 3},     {driver::kGetEndpointCount, 3, 0},
    };
    Bytes out;
    for (const auto& q : queries) {
        SCOPED_TRACE(q.code);
        ASSERT_TRUE(call(q.code, words({q.entry}), 4, &out));
        ASSERT_EQ(out.size(), 4u);
        EXPECT_EQ(get32(out), q.value);
    }
    EXPECT_FALSE(call(driver::kGetInterfaceNumber, words({4}), 4));
    EXPECT_EQ(lastStatus(), usbd::kInterfaceNotFound);

    const struct {
        std::uint32_t endpoint;
        Bytes info;
    } endpoints[] = {
        {1, {0, 2, 0x00, 0x02, 0, 0}},
        {2, {1, 3, 64, 0, 4, 0}},
        {3, {1, 2, 0x00, 0x02, 0, 0}},
    };
    for (const auto& e : endpoints) {
        ASSERT_TRUE(call(driver::kGetEndpointInfo, words({0, e.endpoint}), 6, &out));
        EXPECT_EQ(out, e.info);
    }
    for (std::uint32_t bad : {0u, 4u}) {
        EXPECT_FALSE(call(driver::kGetEndpointInfo, words({0, bad}), 6));
        EXPECT_EQ(lastStatus(), usbd::kInvalidPipe);
    }
    EXPECT_TRUE(call(driver::kEnablePipe, words({0, 1}), 0));
    EXPECT_TRUE(call(driver::kSelectConfiguration, words({0}), 0));
    EXPECT_FALSE(call(driver::kSelectConfiguration, words({1}), 0));
}

TEST_F(EmulatorTest, SynchronousPipesWriteAndRead)
{
    Bytes data(100);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i);
    std::uint32_t returned = 0;
    Bytes write = pipeBuffer(0, 1, 100, 5000, data);
    ASSERT_TRUE(port.ioctl(connection, driver::kPipeWrite, write.data(), static_cast<std::uint32_t>(write.size()),
                           nullptr, 0, &returned));
    EXPECT_EQ(returned, 100u);
    ASSERT_EQ(device->bulkData.size(), 1u);
    EXPECT_EQ(device->bulkData[0], data);

    // A zero-length packet is passed on as such.
    Bytes zlp = pipeBuffer(0, 1, 0, 5000);
    ASSERT_TRUE(port.ioctl(connection, driver::kPipeWrite, zlp.data(), 16, nullptr, 0, &returned));
    EXPECT_EQ(device->bulkData.back(), Bytes{});

    device->queueIn(0x86, {9, 8, 7});
    Bytes buffer(64, 0);
    Bytes read = pipeBuffer(0, 3, 64, 5000);
    ASSERT_TRUE(port.ioctl(connection, driver::kPipeRead, read.data(), 16, buffer.data(), 64, &returned));
    EXPECT_EQ(returned, 3u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 3), (Bytes{9, 8, 7}));

    // Nothing to read: the time-out passes and 121 tells it.
    EXPECT_FALSE(port.ioctl(connection, driver::kPipeRead, read.data(), 16, buffer.data(), 64, &returned));
    EXPECT_EQ(DriverPort::lastError(), ERROR_SEM_TIMEOUT);

    // Wrong direction, unknown pipe, data shorter than the header claims, buffer too small.
    Bytes wrongWay = pipeBuffer(0, 3, 4, 5000, {1, 2, 3, 4});
    EXPECT_FALSE(port.ioctl(connection, driver::kPipeWrite, wrongWay.data(), 20, nullptr, 0, &returned));
    EXPECT_EQ(lastStatus(), usbd::kInvalidPipe);
    Bytes noPipe = pipeBuffer(0, 9, 4, 5000, {1, 2, 3, 4});
    EXPECT_FALSE(port.ioctl(connection, driver::kPipeWrite, noPipe.data(), 20, nullptr, 0, &returned));
    Bytes overlong = pipeBuffer(0, 1, 50, 5000, {1, 2, 3, 4});
    EXPECT_FALSE(port.ioctl(connection, driver::kPipeWrite, overlong.data(), 20, nullptr, 0, &returned));
    EXPECT_EQ(lastStatus(), usbd::kBadArgument);
    EXPECT_FALSE(port.ioctl(connection, driver::kPipeRead, read.data(), 16, buffer.data(), 8, &returned));
    EXPECT_EQ(device->bulkData.size(), 2u);
}

TEST_F(EmulatorTest, OverlappedTransfersCompleteThroughTheEvent)
{
    Overlapped write;
    write.event = std::make_shared<Event>();
    Bytes out = pipeBuffer(0, 1, 2, 0, {5, 6});
    EXPECT_TRUE(port.ioctlOverlapped(connection, driver::kPipeWriteAsync, out.data(), 18, nullptr, 0, &write));
    EXPECT_TRUE(write.event->isSet());
    std::uint32_t transferred = 0;
    EXPECT_TRUE(port.getOverlappedResult(connection, &write, &transferred, false));
    EXPECT_EQ(transferred, 2u);

    Overlapped read;
    read.event = std::make_shared<Event>();
    read.event->set(); // a leftover signal is cleared at the start
    Bytes buffer(32, 0);
    Bytes in = pipeBuffer(0, 2, 32, 0);
    EXPECT_FALSE(port.ioctlOverlapped(connection, driver::kPipeReadAsync, in.data(), 16, buffer.data(), 32, &read));
    EXPECT_EQ(DriverPort::lastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(read.event->isSet());
    EXPECT_FALSE(port.getOverlappedResult(connection, &read, &transferred, false));
    EXPECT_EQ(DriverPort::lastError(), ERROR_IO_INCOMPLETE);
    EXPECT_GT(bus.liveObjects(), 2);

    std::thread producer([this] { device->queueIn(0x81, {1, 2, 3, 4, 5}); });
    EXPECT_TRUE(read.event->wait(5000));
    producer.join();
    // The listener resets the event before it asks for the result; the result stays.
    read.event->reset();
    EXPECT_TRUE(port.getOverlappedResult(connection, &read, &transferred, true));
    EXPECT_EQ(transferred, 5u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 5), (Bytes{1, 2, 3, 4, 5}));

    // Cancelling one request leaves the others running; cancelling the connection ends them
    // all, each with ERROR_OPERATION_ABORTED.
    Overlapped first, second, third;
    for (Overlapped* o : {&first, &second, &third}) {
        o->event = std::make_shared<Event>();
        EXPECT_FALSE(port.ioctlOverlapped(connection, driver::kPipeReadAsync, in.data(), 16, buffer.data(), 32, o));
    }
    EXPECT_NE(first.token, second.token);
    EXPECT_TRUE(port.cancelIoEx(connection, &first));
    EXPECT_TRUE(first.event->isSet());
    EXPECT_FALSE(second.event->isSet());
    EXPECT_FALSE(port.cancelIoEx(connection, &first));
    EXPECT_EQ(DriverPort::lastError(), ERROR_NOT_FOUND);
    EXPECT_TRUE(port.cancelIo(connection));
    for (Overlapped* o : {&first, &second, &third}) {
        EXPECT_FALSE(port.getOverlappedResult(connection, o, &transferred, true));
        EXPECT_EQ(DriverPort::lastError(), ERROR_OPERATION_ABORTED);
    }

    // Closing with a request still out completes it as aborted.
    Overlapped orphan;
    orphan.event = std::make_shared<Event>();
    EXPECT_FALSE(port.ioctlOverlapped(connection, driver::kPipeReadAsync, in.data(), 16, buffer.data(), 32, &orphan));
    port.close(connection);
    EXPECT_TRUE(orphan.event->isSet());
    EXPECT_EQ(orphan.error, ERROR_OPERATION_ABORTED);
    EXPECT_EQ(bus.liveObjects(), 0);
    connection = port.open(path);
}

// A backend that lets requests overlap, as libusb does, and notices when they do.
class OverlapDetector : public SimBackend {
public:
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};

    UsbStatus controlTransfer(UsbHandle handle, const UsbSetup& setup, std::uint8_t* data, UsbTimeoutMs timeout,
                              std::uint32_t* transferred) override
    {
        if (inside.fetch_add(1) != 0)
            overlapped = true;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        const UsbStatus status = SimBackend::controlTransfer(handle, setup, data, timeout, transferred);
        inside.fetch_sub(1);
        return status;
    }
};

TEST(DriverEmulator, SerialisesTransfersToOneDevice)
{
    OverlapDetector backend;
    auto device = std::make_shared<simtest::ScriptedSimDevice>();
    device->answers[0x40] = {1};
    DriverEmulator port(backend);
    const ConnectionId connection = port.open(backend.attach(device));
    auto worker = [&] {
        for (int i = 0; i < 50; ++i) {
            Bytes b = controlBuffer(0xC0, 0x40, 0, 0, 1);
            std::uint32_t returned = 0;
            EXPECT_TRUE(port.ioctl(connection, driver::kControlTransfer, b.data(), 21, b.data(), 21, &returned));
        }
    };
    std::thread a(worker), b(worker);
    a.join();
    b.join();
    EXPECT_FALSE(backend.overlapped.load());
    port.close(connection);
}

} // namespace
