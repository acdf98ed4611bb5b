#include "UsbTestSupport.h"

#include "usb/CUSBInterface.h"
#include "usb/DriverBuffers.h"
#include "usb/IUSBInterfaceIterator.h"
#include "usb/UsbConstants.h"

using namespace TWG::USB;
using usbtest::FakeDriverPort;

namespace {

const std::uint32_t kAnyFilter[2] = {0xFFFFFFFF, 0xFFFFFFFF};

class UsbDescriptorWalk : public usbtest::UsbFixture {
protected:
    // The interfaces of the device at path; the device reference is dropped (they keep it).
    std::vector<IUSBInterface*> interfacesOf(const std::string& path)
    {
        std::vector<IUSBInterface*> all;
        CUSBDevice* dev = openDevice(path);
        if (!dev)
            return all;
        IUSBInterfaceIterator* it = nullptr;
        if (dev->createInterfaceIterator(kAnyFilter, &it) == kResultSuccess) {
            IUSBInterface* intf = nullptr;
            while (it->next(&intf))
                all.push_back(intf);
            it->release();
        }
        dev->release();
        return all;
    }

    IUSBInterface* interfaceOf(const std::string& path, int index)
    {
        std::vector<IUSBInterface*> all = interfacesOf(path);
        IUSBInterface* found = nullptr;
        for (int i = 0; i < int(all.size()); ++i) {
            if (i == index)
                found = all[i];
            else
                all[i]->release();
        }
        return found;
    }

    void addConfiguration(const std::string& path, std::vector<std::uint8_t> configuration)
    {
        FakeDriverPort::Device d;
        d.path = path;
        d.configuration = std::move(configuration);
        d.interfaces = {0, 1};
        port.addDevice(d);
    }
};

} // namespace

TEST_F(UsbDescriptorWalk, FindsEachInterfacesDescriptorsInOrder)
{
    std::vector<IUSBInterface*> both = interfacesOf("fake:1");
    ASSERT_EQ(both.size(), 2u);
    IUSBInterface* first = both[0];
    IUSBInterface* second = both[1];
    // The interface descriptor of interface 0 is the start of its part of the configuration.
    const std::uint8_t* base0 = first->getDescriptor(nullptr, kAnyDescriptorType);
    ASSERT_TRUE(base0);
    const std::uint8_t* config = base0 - 9;
    EXPECT_EQ(config[1], 2);
    auto at = [config](const std::uint8_t* p) { return p ? long(p - config) : -1L; };

    const std::uint8_t* cls0 = first->getDescriptor(nullptr, 0x21);
    EXPECT_EQ(at(cls0), 18);
    EXPECT_EQ(at(first->getDescriptor(cls0, 0x21)), -1); // the next one belongs to interface 1
    const std::uint8_t* ep = first->getDescriptor(nullptr, 5);
    EXPECT_EQ(at(ep), 23);
    EXPECT_EQ(at(first->getDescriptor(ep, 5)), 30);
    EXPECT_EQ(at(first->getDescriptor(config + 30, 5)), -1);

    EXPECT_EQ(at(second->getDescriptor(nullptr, 4)), 37);
    EXPECT_EQ(at(second->getDescriptor(nullptr, kAnyDescriptorType)), 37);
    const std::uint8_t* cls1 = second->getDescriptor(nullptr, 0x21);
    EXPECT_EQ(at(cls1), 46);
    EXPECT_EQ(at(second->getDescriptor(cls1, 0x21)), 50);
    EXPECT_EQ(at(second->getDescriptor(config + 50, 0x21)), -1);
    EXPECT_EQ(at(second->getDescriptor(nullptr, 5)), 56);
    EXPECT_EQ(at(second->getDescriptor(nullptr, 0x30)), -1);

    // The descriptor is fetched once (length, then bytes) and cached.
    EXPECT_EQ(port.calls(driver::kGetConfigDescriptor).size(), 2u);
    first->release();
    second->release();
}

TEST_F(UsbDescriptorWalk, MalformedDescriptorsEndTheWalkInsideTheBytesHeld)
{
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        int interface;
        int type;
        bool found;
    };
    const Case cases[] = {
        {"zero bLength before interface 1", [](auto& d) { d[23] = 0; }, 1, 0x21, false},
        {"bLength 1", [](auto& d) { d[30] = 1; }, 1, 0x21, false},
        {"overlong class descriptor", [](auto& d) { d[50] = 200; }, 1, 5, false},
        {"last descriptor cut short, wTotalLength claims more",
         [](auto& d) {
             d.pop_back();
             putU16(d.data() + 2, 0xFFFF);
         },
         1, 5, false},
        {"wTotalLength beyond the bytes, all descriptors whole",
         [](auto& d) { putU16(d.data() + 2, 0xFFFF); }, 1, 5, true},
        {"wTotalLength shorter than the bytes", [](auto& d) { putU16(d.data() + 2, 37); }, 1, 4, false},
        {"wTotalLength shorter, interface 0 still whole", [](auto& d) { putU16(d.data() + 2, 37); }, 0, 5, true},
        {"configuration bLength 0", [](auto& d) { d[0] = 0; }, 0, 4, false},
        {"configuration longer than everything", [](auto& d) { d[0] = 0xFF; }, 0, 4, false},
        {"only three bytes", [](auto& d) { d.resize(3); }, 0, kAnyDescriptorType, false},
        {"empty", [](auto& d) { d.clear(); }, 0, kAnyDescriptorType, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = usbtest::twoInterfaceConfiguration();
        c.damage(bytes);
        const std::string path = "fake:bad" + std::to_string(n++);
        addConfiguration(path, bytes);
        IUSBInterface* intf = interfaceOf(path, c.interface);
        ASSERT_TRUE(intf) << c.name;
        const std::uint8_t* found = intf->getDescriptor(nullptr, c.type);
        EXPECT_EQ(found != nullptr, c.found) << c.name;
        if (found) {
            EXPECT_EQ(found[1], c.type) << c.name;
        }
        intf->release();
    }
}

TEST_F(UsbDescriptorWalk, IteratorMakesOneInterfacePerEntryAndKeepsTheDeviceAlive)
{
    CUSBDevice* dev = openDevice();
    const std::uint32_t filter[2] = {0x00FF00FF, 0xFFFF00FF};
    IUSBInterfaceIterator* it = nullptr;
    ASSERT_EQ(dev->createInterfaceIterator(filter, &it), kResultSuccess);
    auto listCalls = port.calls(driver::kGetInterfaceList);
    ASSERT_EQ(listCalls.size(), 2u);
    EXPECT_EQ(listCalls[0].in, (std::vector<std::uint8_t>{0xFF, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0xFF}));
    EXPECT_EQ(listCalls[0].outLength, 4u);
    EXPECT_EQ(listCalls[1].outLength, 12u);
    dev->release(); // the iterator and its interfaces hold the device

    EXPECT_FALSE(it->next(nullptr));
    IUSBInterface* a = nullptr;
    IUSBInterface* b = nullptr;
    IUSBInterface* c = nullptr;
    ASSERT_TRUE(it->next(&a));
    ASSERT_TRUE(it->next(&b));
    EXPECT_FALSE(it->next(&c));
    it->release();
    std::uint8_t number = 0;
    EXPECT_EQ(b->getInterfaceNumber(&number), kResultSuccess);
    EXPECT_EQ(port.calls(driver::kGetInterfaceNumber).back().in, (std::vector<std::uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(port.openConnections(), 1);
    a->release();
    b->release();
    EXPECT_EQ(port.openConnections(), 0);
}

TEST_F(UsbDescriptorWalk, MalformedInterfaceListsFail)
{
    struct Case {
        const char* name;
        std::uint32_t firstReturned, count, secondReturnedDelta, listedCount;
        std::uint32_t result;
        std::size_t entries;
    } cases[] = {
        {"count answer of 2 bytes", 2, 2, 0, 2, kResultFailure, 0},
        {"second answer short", 4, 2, std::uint32_t(-4), 2, kResultFailure, 0},
        {"absurd count", 4, 0x40000000, 0, 0x40000000, kResultFailure, 0},
        {"list shrank", 4, 2, 0, 1, kResultSuccess, 1},
        {"list grew", 4, 2, 0, 7, kResultSuccess, 2},
        {"no interfaces", 4, 0, 0, 0, kResultSuccess, 0},
    };
    CUSBDevice* dev = openDevice();
    for (const Case& c : cases) {
        port.setHandler(driver::kGetInterfaceList, [c](const FakeDriverPort::Call& call, std::uint8_t* out,
                                                    std::uint32_t* n) {
            if (call.outLength == 4) {
                putU32(out, c.count);
                *n = c.firstReturned;
                return true;
            }
            putU32(out, c.listedCount);
            for (std::uint32_t i = 4; i + 4 <= call.outLength; i += 4)
                putU32(out + i, i / 4 - 1);
            *n = call.outLength + c.secondReturnedDelta;
            return true;
        });
        IUSBInterfaceIterator* it = nullptr;
        EXPECT_EQ(dev->createInterfaceIterator(kAnyFilter, &it), c.result) << c.name;
        if (!it)
            continue;
        std::size_t entries = 0;
        IUSBInterface* intf = nullptr;
        while (it->next(&intf)) {
            ++entries;
            intf->release();
        }
        EXPECT_EQ(entries, c.entries) << c.name;
        it->release();
    }
    EXPECT_EQ(dev->createInterfaceIterator(kAnyFilter, nullptr), kResultBadArgument);
    dev->release();
}
