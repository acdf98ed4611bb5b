#include "plugins/zanthic/ui/D2Family.h"
#include "plugins/zanthic/ui/D2ProductCard.h"
#include "plugins/zanthic/ui/D2VisibleDevice.h"
#include "plugins/zanthic/ui/FirmwareUpdateController.h"
#include "plugins/zanthic/ui/FirmwareUpdateDialog.h"
#include "plugins/zanthic/ui/LutTransferThread.h"
#include "protocol/ZanthicFirmwareIds.h"
#include "tests/plugins/zanthic/ui/ZanthicUiFakes.h"

#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/CommonDialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

namespace {

using namespace zanthicui;

class D2FamilyTest : public ::testing::Test {
protected:
    D2FamilyTest()
    {
        qRegisterMetaType<VisibleDevice*>();
        host.resize(780, 710);
        family = new D2Family(QStringLiteral("ZanthicConverters"), {}, &host);
        manager = std::make_shared<FakeManager>(family, modelTable());
        family->addConnectionManager(manager);
    }
    ~D2FamilyTest() override
    {
        delete family;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    std::shared_ptr<FakePotential> arrive(const QString& serial, std::uint16_t productId = 0xBE89)
    {
        auto d = manager->add(serial, productId);
        family->onPotentialDeviceArrived(d);
        return d;
    }
    QList<D2ProductCard*> cards() const { return host.findChildren<D2ProductCard*>(); }
    void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QWidget host;
    D2Family* family;
    std::shared_ptr<FakeManager> manager;
};

TEST_F(D2FamilyTest, TwoPathsOfOneSerialAreOneDeviceThatLeavesWithItsLastPath)
{
    QSignalSpy arrived(family, &Family::deviceArrived);
    QSignalSpy changed(family, &Family::deviceInfoChanged);
    auto first = arrive(QStringLiteral("5a4e0001"));
    auto second = arrive(QStringLiteral("5a4e0001"));
    ASSERT_EQ(arrived.count(), 1);
    ASSERT_EQ(family->visibleDevices().size(), 1);
    EXPECT_EQ(first->arrivals, 1);
    EXPECT_EQ(second->arrivals, 1);
    auto* device = arrived[0][0].value<VisibleDevice*>();
    EXPECT_EQ(family->visibleDevices().first()->potentialDevices().size(), 2u);

    QSignalSpy removed(family, &Family::deviceRemoved);
    family->onPotentialDeviceRemoved(first);
    EXPECT_EQ(removed.count(), 0);
    EXPECT_EQ(family->visibleDevices().size(), 1);
    EXPECT_GE(changed.count(), 2) << "each path's coming and going refreshes the gallery entry";

    bool listedWhileRemoved = false;
    QObject::connect(family, &Family::deviceRemoved, family,
                     [&](VisibleDevice* d) { listedWhileRemoved = family->findVisibleDevice(d) != nullptr; });
    family->onPotentialDeviceRemoved(second);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed[0][0].value<VisibleDevice*>(), device);
    EXPECT_TRUE(listedWhileRemoved) << "deviceRemoved comes before the device leaves the list";
    EXPECT_TRUE(family->visibleDevices().isEmpty());
}

// An unread serial says nothing: two such devices are two, and each leaves on its own.
TEST_F(D2FamilyTest, EmptySerialsAreNeverMergedOrLookedUp)
{
    QSignalSpy arrived(family, &Family::deviceArrived);
    QSignalSpy removed(family, &Family::deviceRemoved);
    auto a = arrive(QString());
    auto b = arrive(QString());
    ASSERT_EQ(arrived.count(), 2);
    ASSERT_EQ(family->visibleDevices().size(), 2);
    EXPECT_EQ(family->findVisibleDevice(*a), nullptr);

    family->onPotentialDeviceRemoved(b);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed[0][0].value<VisibleDevice*>(), arrived[1][0].value<VisibleDevice*>());
    ASSERT_EQ(family->visibleDevices().size(), 1);
    EXPECT_EQ(family->visibleDevices().first()->activeDevice(), a);
}

TEST_F(D2FamilyTest, DetectionStartsEveryManagerAndNoDnsSdEventIsTaken)
{
    auto second = std::make_shared<FakeManager>(family, modelTable());
    family->addConnectionManager(second);
    family->startDeviceDetection();
    EXPECT_EQ(manager->starts, 1);
    EXPECT_EQ(second->starts, 1);
    EXPECT_FALSE(family->usesBonjour());
    EXPECT_FALSE(family->onBonjourDeviceAdded(BonjourInfo()));
    EXPECT_FALSE(family->onBonjourDeviceResolved(BonjourInfo(), true, QString(), QString(), 0));
}

// Opening a device: the update dialog instead of the card only when an update is offered,
// the device's firmware is not the packaged one, and the plug-in holds an image to write.
TEST_F(D2FamilyTest, OpeningADeviceAsksForAnUpdateOnlyWhenOneCanBeWritten)
{
    const QString packaged = QString::fromLatin1(firmwareids::stm32BuildId(0xBE77));
    struct Case {
        const char* what;
        QString build;
        bool image;
        bool offers;
        bool dialog;
    };
    const Case cases[] = {
        {"out of date, image held", QStringLiteral("00000001"), true, true, true},
        {"current", packaged, true, true, false},
        {"out of date, no image", QStringLiteral("00000001"), false, true, false},
        {"out of date, not offered", QStringLiteral("00000001"), true, false, false},
    };
    for (const Case& c : cases) {
        FirmwareFolder folder;
        folder.writePackage(0xBE77, c.image, /*fpga=*/c.image ? 0 : 5);
        auto d = arrive(QStringLiteral("serial-%1").arg(QLatin1String(c.what)), 0xBE77);
        d->build = c.build;
        d->offers = c.offers;
        VisibleDevice* device = family->visibleDevices().last().get();
        family->showDevice(device);
        if (c.dialog) {
            ASSERT_NE(family->controller(), nullptr) << c.what;
            EXPECT_EQ(family->controller()->dialog()->state(), FirmwareUpdateDialog::Required) << c.what;
            EXPECT_TRUE(cards().isEmpty()) << c.what;
        } else {
            EXPECT_EQ(family->controller(), nullptr) << c.what;
            EXPECT_EQ(cards().size(), 1) << c.what;
        }
        for (D2ProductCard* card : cards())
            delete card;
        family->onPotentialDeviceRemoved(d);
        family->onFirmwareUpdateFinish(false);
        settle();
    }
}

// How the update dialog ends decides whether the card opens: only declining ("Continue") an
// update that was not required opens it; Cancel, and Close after a failure, leave it closed.
TEST_F(D2FamilyTest, TheWayTheUpdateDialogEndsDecidesWhetherTheCardOpens)
{
    struct Case {
        const char* what;
        bool required;
        bool withUpdater;
        bool accept;
        bool cardOpens;
    };
    const Case cases[] = {
        {"Continue", false, true, false, true},
        {"Cancel", true, true, false, false},
        {"Close after a failure without updater", true, false, true, false},
        {"Close after a failure without updater, not required", false, false, true, false},
    };
    for (const Case& c : cases) {
        auto d = arrive(QStringLiteral("s"));
        manager->updater = c.withUpdater ? QSharedPointer<DeviceFirmwareUpdater>(new ScriptedUpdater) : nullptr;
        VisibleDevice* device = family->visibleDevices().last().get();
        family->startFirmwareUpdate(device, true, c.required);
        QPointer<FirmwareUpdateController> controller = family->controller();
        ASSERT_TRUE(controller) << c.what;
        FirmwareUpdateDialog* dialog = controller->dialog();
        if (c.accept) {
            dialog->yesButton()->click();
            EXPECT_EQ(dialog->state(), FirmwareUpdateDialog::Failed) << c.what;
            settle();
            ASSERT_TRUE(controller) << c.what << ": the failure stays until the user closes it";
            EXPECT_FALSE(dialog->isHidden()) << c.what;
            dialog->closeButton()->click();
        } else {
            dialog->noButton()->click();
        }
        settle();
        EXPECT_FALSE(controller) << c.what << ": the family lets the controller go";
        EXPECT_EQ(cards().size(), c.cardOpens ? 1 : 0) << c.what;
        for (D2ProductCard* card : cards())
            delete card;
        family->onPotentialDeviceRemoved(d);
        settle();
    }
}

// While an update runs the program may not close: the family says why, once, and a second
// update cannot take the running one's place.
TEST_F(D2FamilyTest, CloseIsRefusedWithAReasonWhileAnUpdateRuns)
{
    auto* updater = new ScriptedUpdater;
    manager->updater = QSharedPointer<DeviceFirmwareUpdater>(updater);
    arrive(QStringLiteral("a"));
    arrive(QStringLiteral("b"));
    EXPECT_TRUE(family->canClose()) << "nothing runs yet";
    family->startFirmwareUpdate(family->visibleDevices().first().get(), false, true);
    QPointer<FirmwareUpdateController> running = family->controller();
    ASSERT_TRUE(running);
    ASSERT_EQ(updater->starts, 1);

    EXPECT_FALSE(family->canClose());
    CommonDialog* refusal = family->closeRefusal();
    ASSERT_NE(refusal, nullptr);
    EXPECT_FALSE(refusal->isHidden());
    EXPECT_EQ(refusal->titleLabel()->text(), QStringLiteral("Software Update"));
    EXPECT_EQ(refusal->headingLabel()->text(), QStringLiteral("Update in Progress!"));
    refusal->closeButton()->click();
    EXPECT_TRUE(refusal->isHidden());
    EXPECT_FALSE(family->canClose());
    EXPECT_EQ(family->closeRefusal(), refusal) << "one dialog, shown again";
    EXPECT_FALSE(refusal->isHidden());

    family->startFirmwareUpdate(family->visibleDevices().last().get(), true, true);
    settle();
    EXPECT_EQ(family->controller(), running.data()) << "the running update is kept";
    EXPECT_TRUE(running);

    emit updater->firmwareUpdated(DeviceFirmwareUpdater::Failed);
    EXPECT_TRUE(family->canClose()) << "a failed update has ended too";
}

// Shutdown waits for the update's end, which comes from the task's thread, with the event
// loop turning rather than blocking the GUI thread.
TEST_F(D2FamilyTest, ShutdownWaitsForTheUpdateWithTheEventLoopTurning)
{
    auto* updater = new ScriptedUpdater;
    manager->updater = QSharedPointer<DeviceFirmwareUpdater>(updater);
    arrive(QStringLiteral("a"));
    family->startFirmwareUpdate(family->visibleDevices().first().get(), false, true);
    ASSERT_TRUE(family->isUpdating());

    bool turned = false;
    QTimer::singleShot(20, family, [&] { turned = true; });
    std::thread task([updater] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        emit updater->firmwareUpdated(DeviceFirmwareUpdater::Succeeded);
    });
    family->shutdown();
    task.join();
    EXPECT_TRUE(turned) << "the GUI thread went on while it waited";
    EXPECT_FALSE(family->isUpdating());
    ASSERT_NE(family->controller(), nullptr);
    EXPECT_EQ(family->controller()->dialog()->state(), FirmwareUpdateDialog::Complete);
    family->shutdown(); // nothing runs: returns at once
}

// A LUT upload holds its device off the GUI thread and deletes itself: the program may not close
// under it, and its end (shutdown, as the window goes) waits for it with the event loop turning,
// so no upload runs on into the program's exit with its device half sent, nor writes it after:
// what follows its result on the GUI thread is part of it.
TEST_F(D2FamilyTest, ALutUploadHoldsTheCloseAndShutdownWaitsForIt)
{
    std::atomic<bool> release{false};
    std::atomic<bool> done{false};
    int finished = 0;
    auto* upload = new TWG::Zanthic::LutTransferThread(
        [&] {
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            done = true;
            return 0;
        },
        nullptr, [&](int) { ++finished; });
    QPointer<TWG::Zanthic::LutTransferThread> watched(upload);
    upload->start();

    EXPECT_FALSE(family->canClose());
    ASSERT_NE(family->closeRefusal(), nullptr);
    EXPECT_EQ(family->closeRefusal()->titleLabel()->text(), QStringLiteral("Loading LUT"));
    EXPECT_EQ(family->closeRefusal()->headingLabel()->text(), QStringLiteral("Loading LUT"));

    bool turned = false;
    QTimer::singleShot(20, family, [&] { turned = true; });
    std::thread letGo([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        release = true;
    });
    family->shutdown();
    letGo.join();
    EXPECT_TRUE(done) << "shutdown returned while the upload ran";
    EXPECT_EQ(finished, 1) << "shutdown returned before the upload's result was taken up";
    EXPECT_TRUE(turned) << "the GUI thread went on while it waited";
    EXPECT_TRUE(family->canClose());
    ASSERT_TRUE(QTest::qWaitFor([&] { return watched.isNull(); })) << "the upload deletes itself";
}

// What follows an upload's result on the GUI thread (its selection write) is part of it: the
// upload has not ended, and shutdown waits, until that has run, though its thread has returned.
TEST_F(D2FamilyTest, AnUploadEndsOnlyOnceItsResultIsTakenUpOnTheGuiThread)
{
    int finished = 0;
    auto* upload = new TWG::Zanthic::LutTransferThread([] { return 0; }, nullptr, [&](int) { ++finished; });
    QPointer<TWG::Zanthic::LutTransferThread> watched(upload);
    upload->start();
    ASSERT_TRUE(upload->wait(10000));
    EXPECT_TRUE(TWG::Zanthic::LutTransferThread::anyRunning()) << "ended with its result not yet taken up";
    EXPECT_EQ(finished, 0);
    family->shutdown();
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(TWG::Zanthic::LutTransferThread::anyRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return watched.isNull(); })) << "the upload deletes itself";
}

TEST_F(D2FamilyTest, TheReportListsBuildDevicesWithAPathAndTheModels)
{
    family->setBuildInfo(QStringLiteral("20240102030405"), QStringLiteral("7.6"), QStringLiteral("a44"),
                         QStringLiteral("0123456789abcdef0123456789abcdef01234567"));
    auto d = arrive(QStringLiteral("5a4e0001"), 0xBE89);
    d->build = QStringLiteral("00012989");
    d->hardware = 0x0101;
    auto gone = arrive(QStringLiteral("5a4e0002"), 0xBE70);
    family->visibleDevices().last()->removePotentialDevice(gone); // listed, but without a path

    const QString report = family->buildInformation();
    const QString head = QStringLiteral(
        "** Plugin Build information\n\n"
        "\tTime:                20240102030405\n"
        "\tRC Tag:              7.6a44\n"
        "\tRevision:            0123456789abcdef0123456789abcdef01234567\n"
        "\n"
        "** Discovered Devices:\n\n"
        "\tZanthic Converter Z6 Studio\n"
        "\tDevice Name:         Studio A\n"
        "\tUnique ID:           5a4e0001\n"
        "\tProduct Id:          0xbe89\n"
        "\tHardware Revision:   0x0101\n"
        "\tFirmware Build:      00012989\n"
        "\tRelease Version:     7.6\n"
        "\tConnection Type:     USB\n"
        "\n"
        "** Available Firmware:\n\n"
        "USB Supported Devices:\n\n"
        "\tZanthic Converter Z1 Bridge\n"
        "\tProduct Id:          0xbe6f\n"
        "\tHardware Revision:   0x0100\n"
        "\tFirmware Build:      0000b6f2\n"
        "\tRelease Version:     7.6\n"
        "\n"
        "\tZanthic Converter Z2 Link\n");
    EXPECT_TRUE(report.startsWith(head)) << report.toStdString();
    // Ascending product id, the XMEGA rows last.
    EXPECT_LT(report.indexOf(QLatin1String("0xbe89")), report.lastIndexOf(QLatin1String("0xbe90")));
    EXPECT_TRUE(report.endsWith(QLatin1String("\tProduct Id:          0xbe91\n"
                                              "\tHardware Revision:   0x0100\n"
                                              "\tFirmware Build:      fpga:00000000 xmega:00000000\n"
                                              "\tRelease Version:     7.6\n\n")))
        << report.toStdString();
}

TEST_F(D2FamilyTest, TheConnectionTypeReadsAsText)
{
    const std::pair<int, const char*> types[] = {{0, "None"}, {1, "USB"}, {2, "Ethernet"}, {7, "?"}};
    for (const auto& [type, text] : types) {
        auto d = arrive(QStringLiteral("t%1").arg(type));
        d->type = type;
        EXPECT_TRUE(family->buildInformation().contains(QStringLiteral("\tConnection Type:     %1\n").arg(QLatin1String(text))))
            << type;
        family->onPotentialDeviceRemoved(d);
    }
}

} // namespace
