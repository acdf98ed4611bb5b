#include "Fakes.h"
#include "shell/DeviceList.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <memory>
#include <vector>

namespace {

struct Arrival {
    const char* name;
    bool listedFirst;
};

class DeviceListTest : public ::testing::Test {
protected:
    FakeDevice* make(const QString& name, bool listedFirst = false)
    {
        devices_.push_back(std::make_unique<FakeDevice>(&family_, name, listedFirst));
        return devices_.back().get();
    }

    QStringList order() const
    {
        QStringList names;
        for (int i = 0; i < list_.count(); ++i)
            names << list_.deviceAt(i)->displayName();
        return names;
    }

    // Records the list's signals in emission order.
    QStringList watch()
    {
        QStringList* log = &events_;
        QObject::connect(&list_, &DeviceList::deviceListAdded, [log](VisibleDevice* d) { log->append("added " + d->displayName()); });
        QObject::connect(&list_, &DeviceList::deviceListRemoved, [log](VisibleDevice* d) { log->append("removed " + d->displayName()); });
        QObject::connect(&list_, &DeviceList::deviceListSelected,
                         [log](VisibleDevice* d) { log->append("selected " + (d ? d->displayName() : QString("-"))); });
        QObject::connect(&list_, &DeviceList::deviceListChanged, [log](VisibleDevice* d) { log->append("changed " + d->displayName()); });
        return events_;
    }

    FakeFamily family_{nullptr, "F", nullptr};
    DeviceList list_;
    std::vector<std::unique_ptr<FakeDevice>> devices_;
    QStringList events_;
};

TEST_F(DeviceListTest, ArrivalsAreOrderedByGroupThenNameKeepingArrivalOrderForEqualNames)
{
    struct Case {
        std::vector<Arrival> arrivals;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {{{"b", false}, {"A", false}, {"a", false}}, {"A", "a", "b"}},
        {{{"a", false}, {"b", false}, {"z", true}}, {"z", "a", "b"}},
        {{{"y", true}, {"a", false}, {"b", true}, {"0", false}}, {"b", "y", "0", "a"}},
    };
    for (const Case& c : cases) {
        DeviceList list;
        for (const Arrival& a : c.arrivals)
            list.onDeviceAdded(make(a.name, a.listedFirst));
        QStringList names;
        for (int i = 0; i < list.count(); ++i)
            names << list.deviceAt(i)->displayName();
        EXPECT_EQ(names, c.expected);
    }

    FakeDevice* first = make("same");
    FakeDevice* second = make("same");
    list_.onDeviceAdded(second);
    list_.onDeviceAdded(first);
    EXPECT_EQ(list_.indexOf(second), 0);
    EXPECT_EQ(list_.indexOf(first), 1);
}

TEST_F(DeviceListTest, FirstArrivalIsSelectedBeforeItIsAnnounced)
{
    watch();
    list_.onDeviceAdded(make("b"));
    list_.onDeviceAdded(make("a"));
    EXPECT_EQ(events_, QStringList({"selected b", "added b", "added a"}));
    EXPECT_EQ(list_.currentDevice()->displayName(), "b");
    EXPECT_EQ(list_.currentIndex(), 1);
}

TEST_F(DeviceListTest, RemovingTheCurrentMiddleDeviceSelectsTheFirst)
{
    FakeDevice* a = make("a");
    FakeDevice* b = make("b");
    list_.onDeviceAdded(a);
    list_.onDeviceAdded(b);
    list_.onDeviceAdded(make("c"));
    list_.selectAt(1);
    watch();
    list_.onDeviceRemoved(b);
    EXPECT_EQ(events_, QStringList({"selected a", "removed b"}));
    EXPECT_EQ(list_.currentDevice(), a);
    EXPECT_EQ(order(), QStringList({"a", "c"}));
}

TEST_F(DeviceListTest, UnknownNullFamilyAndRepeatedDevicesChangeNothing)
{
    FakeDevice* a = make("a");
    list_.onDeviceAdded(a);
    FakeDevice orphan(nullptr, "orphan");
    FakeDevice* stranger = make("stranger");
    watch();

    list_.onDeviceAdded(&orphan);
    list_.onDeviceAdded(a); // a second arrival of a listed device
    list_.onDeviceRemoved(stranger);
    EXPECT_EQ(events_, QStringList({"removed stranger"}));
    EXPECT_EQ(list_.count(), 1);
    EXPECT_EQ(list_.familyOf(stranger), nullptr);
    EXPECT_EQ(list_.familyOf(nullptr), nullptr);
    EXPECT_EQ(list_.familyOf(a), &family_);

    list_.onDeviceRemoved(a);
    EXPECT_EQ(list_.currentDevice(), nullptr);
    EXPECT_EQ(list_.familyOf(a), nullptr);
}

TEST_F(DeviceListTest, StepsStopAtTheEndsAndRenamingKeepsTheOrder)
{
    FakeDevice* a = make("a");
    FakeDevice* b = make("b");
    list_.onDeviceAdded(a);
    list_.onDeviceAdded(b);
    watch();
    list_.selectPrevious();
    list_.selectNext();
    list_.selectNext();
    EXPECT_EQ(events_, QStringList({"selected b"}));

    a->displayName_ = "zz";
    list_.onDeviceInfoChanged(a);
    EXPECT_EQ(events_.last(), "changed zz");
    EXPECT_EQ(order(), QStringList({"zz", "b"}));
}

} // namespace
