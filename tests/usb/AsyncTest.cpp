#include "UsbTestSupport.h"

#include "usb/IUSBInterface.h"
#include "usb/IUSBInterfaceIterator.h"
#include "usb/UsbConstants.h"

#include <QEvent>
#include <QObject>

#include <thread>

using namespace TWG::USB;

namespace {

constexpr platform::UINT kAsyncMessage = platform::WM_APP;

struct Completion {
    std::uint32_t status;
    std::uint32_t count;
    std::thread::id thread;
};

struct Completions {
    std::vector<Completion> list;
};

void onComplete(std::uint32_t status, std::uint32_t count, void* user)
{
    static_cast<Completions*>(user)->list.push_back({status, count, std::this_thread::get_id()});
}

// The GUI window that offers completion messages to its device.
class AsyncWindow : public QObject {
public:
    AsyncWindow() : id(platform::registerQtTarget(this)) {}
    platform::WindowId id;
    IUSBDevice* device = nullptr;
    std::vector<std::uint32_t> results;

protected:
    bool event(QEvent* e) override
    {
        platform::MSG* m = platform::messageOf(e);
        if (!m)
            return QObject::event(e);
        if (m->message == kAsyncMessage && device)
            results.push_back(device->handleAsyncMessage(m->wParam, m->lParam));
        return true;
    }
};

class UsbAsync : public usbtest::UsbFixture {
protected:
    void SetUp() override
    {
        UsbFixture::SetUp();
        dev = openDevice();
        const std::uint32_t filter[2] = {0xFFFFFFFF, 0xFFFFFFFF};
        IUSBInterfaceIterator* it = nullptr;
        ASSERT_EQ(dev->createInterfaceIterator(filter, &it), kResultSuccess);
        ASSERT_TRUE(it->next(&intf));
        it->release();
        window.device = dev;
    }
    void TearDown() override
    {
        if (intf)
            intf->release();
        if (dev)
            dev->release();
        UsbFixture::TearDown();
    }

    // Starts n reads into buffers_; results as returned.
    std::vector<std::uint32_t> startReads(int n)
    {
        std::vector<std::uint32_t> results;
        for (int i = 0; i < n; ++i) {
            buffers_.emplace_back(new std::uint8_t[8]());
            results.push_back(intf->readAsync(1, buffers_.back().get(), 8, onComplete, &done));
        }
        return results;
    }

    CUSBDevice* dev = nullptr;
    IUSBInterface* intf = nullptr;
    AsyncWindow window;
    Completions done;
    std::vector<std::unique_ptr<std::uint8_t[]>> buffers_;
};

} // namespace

TEST_F(UsbAsync, CompletionRunsOnThePumpingThread)
{
    EXPECT_EQ(dev->handleAsyncMessage(0, 0), kResultNotHandled); // no claimed interface
    ASSERT_EQ(intf->open(), kResultSuccess);
    EXPECT_EQ(intf->open(), kResultFailure);
    dev->setAsyncWindow(window.id, kAsyncMessage);

    ASSERT_EQ(startReads(1), (std::vector<std::uint32_t>{kResultSuccess}));
    auto call = port.calls(driver::kPipeReadAsync).back();
    EXPECT_EQ(call.in, (std::vector<std::uint8_t>{0, 1, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    const std::uint8_t out[3] = {5, 6, 7};
    EXPECT_EQ(intf->writeAsync(2, out, sizeof out, onComplete, &done), kResultSuccess);
    EXPECT_EQ(port.calls(driver::kPipeWriteAsync).back().in,
              (std::vector<std::uint8_t>{0, 2, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 6, 7}));

    std::thread([this] { port.completeOldest({0xA1, 0xA2, 0xA3}); }).join();
    ASSERT_TRUE(usbtest::pumpUntil([this] { return done.list.size() == 1; }));
    EXPECT_EQ(done.list[0].status, kResultSuccess);
    EXPECT_EQ(done.list[0].count, 3u);
    EXPECT_EQ(done.list[0].thread, std::this_thread::get_id());
    EXPECT_EQ(buffers_[0][0], 0xA1);
    EXPECT_EQ(buffers_[0][2], 0xA3);

    port.completeOldest({}, false);
    ASSERT_TRUE(usbtest::pumpUntil([this] { return done.list.size() == 2; }));
    EXPECT_EQ(done.list[1].status, kResultFailure);
    EXPECT_EQ(done.list[1].count, 0u);
    EXPECT_EQ(window.results, (std::vector<std::uint32_t>{kResultSuccess, kResultSuccess}));

    // A message for another interface is not this device's.
    EXPECT_EQ(dev->handleAsyncMessage(0, 12345), kResultNotHandled);
    EXPECT_EQ(intf->close(), kResultSuccess);
}

TEST_F(UsbAsync, CompletingTwiceIsABadArgument)
{
    ASSERT_EQ(startReads(1), (std::vector<std::uint32_t>{kResultSuccess}));
    platform::EventHandle events[2];
    int count = 0;
    EXPECT_EQ(intf->getPendingEvents(events, 0, &count), kResultBadArgument);
    EXPECT_EQ(count, 1);
    ASSERT_EQ(intf->getPendingEvents(events, 2, &count), kResultSuccess);
    port.completeOldest({1});
    EXPECT_EQ(intf->completeRequest(events[0].get()), kResultSuccess);
    EXPECT_EQ(intf->completeRequest(events[0].get()), kResultBadArgument);
    EXPECT_EQ(intf->completeRequest(nullptr), kResultBadArgument);
    ASSERT_EQ(done.list.size(), 1u);
    EXPECT_EQ(intf->getPendingEvents(nullptr, 2, &count), kResultBadArgument);
}

TEST_F(UsbAsync, SixtyFourthRequestIsRefusedAndTheListenerKeepsWorking)
{
    ASSERT_EQ(intf->open(), kResultSuccess);
    dev->setAsyncWindow(window.id, kAsyncMessage);
    std::vector<std::uint32_t> results = startReads(kMaxPendingRequests + 1);
    EXPECT_EQ(std::count(results.begin(), results.end(), kResultSuccess), kMaxPendingRequests);
    EXPECT_EQ(results.back(), kResultFailure);
    EXPECT_EQ(port.pendingCount(), std::size_t(kMaxPendingRequests));

    for (int i = 0; i < kMaxPendingRequests; ++i)
        port.completeOldest({std::uint8_t(i)});
    ASSERT_TRUE(usbtest::pumpUntil([this] { return done.list.size() == std::size_t(kMaxPendingRequests); }));
    for (const Completion& c : done.list)
        EXPECT_EQ(c.status, kResultSuccess);
    // Room again.
    EXPECT_EQ(startReads(1), (std::vector<std::uint32_t>{kResultSuccess}));
    port.completeOldest({9});
    EXPECT_TRUE(usbtest::pumpUntil([this] { return done.list.size() == std::size_t(kMaxPendingRequests) + 1; }));
}

TEST_F(UsbAsync, DestroyingWithRequestsInFlightCancelsWaitsAndReports)
{
    ASSERT_EQ(intf->open(), kResultSuccess);
    dev->setAsyncWindow(window.id, kAsyncMessage);
    port.setCancelDelayMs(30); // the cancelled requests finish late, writing into their buffers
    ASSERT_EQ(startReads(3), std::vector<std::uint32_t>(3, kResultSuccess));
    intf->release();
    intf = nullptr;
    ASSERT_EQ(done.list.size(), 3u);
    for (const Completion& c : done.list) {
        EXPECT_EQ(c.status, kResultFailure);
        EXPECT_EQ(c.count, 0u);
    }
    EXPECT_EQ(port.pendingCount(), 0u);
    EXPECT_EQ(dev->handleAsyncMessage(0, 0), kResultNotHandled);
    QCoreApplication::sendPostedEvents(&window);
}

TEST_F(UsbAsync, DestroyingOneInterfaceLeavesTheOthersRequestsRunning)
{
    const std::uint32_t filter[2] = {0xFFFFFFFF, 0xFFFFFFFF};
    IUSBInterfaceIterator* it = nullptr;
    ASSERT_EQ(dev->createInterfaceIterator(filter, &it), kResultSuccess);
    IUSBInterface* first = nullptr;
    IUSBInterface* other = nullptr;
    ASSERT_TRUE(it->next(&first));
    ASSERT_TRUE(it->next(&other));
    it->release();
    first->release();
    ASSERT_EQ(other->open(), kResultSuccess);
    dev->setAsyncWindow(window.id, kAsyncMessage);

    Completions otherDone;
    std::uint8_t otherBuffer[8] = {};
    ASSERT_EQ(other->readAsync(1, otherBuffer, sizeof otherBuffer, onComplete, &otherDone), kResultSuccess);
    ASSERT_EQ(startReads(2), std::vector<std::uint32_t>(2, kResultSuccess));
    intf->release();
    intf = nullptr;
    EXPECT_EQ(done.list.size(), 2u);
    ASSERT_EQ(port.pendingCount(), 1u) << "the shared connection's other request was cancelled too";

    port.completeOldest({0x42});
    ASSERT_TRUE(usbtest::pumpUntil([&] { return otherDone.list.size() == 1; }));
    EXPECT_EQ(otherDone.list[0].status, kResultSuccess);
    EXPECT_EQ(otherBuffer[0], 0x42);
    other->release();
}
