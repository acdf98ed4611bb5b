#include "kit/widgets/CardPushButton.h"
#include "plugins/zanthic/ui/D2Family.h"
#include "plugins/zanthic/ui/D2VisibleDevice.h"
#include "plugins/zanthic/ui/FirmwareUpdateController.h"
#include "plugins/zanthic/ui/FirmwareUpdateDialog.h"
#include "tests/plugins/zanthic/ui/ZanthicUiFakes.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <thread>

namespace {

using namespace zanthicui;

TEST(ZanthicFirmwareUpdateDialog, SixStatesAndNoChangeOutsideThem)
{
    QWidget host;
    FirmwareUpdateDialog dialog(&host);
    dialog.setDeviceName(QStringLiteral("Z6 Studio"));
    struct Case {
        int state;
        const char* heading;
        const char* message;
        const char* no;  // two-button form when set
        const char* one; // single button otherwise (null: the progress bar)
    };
    const Case cases[] = {
        {0, "Update Available!",
         "You can still use the Z6 Studio if you don't update, but it may be missing the latest features.", "Continue",
         nullptr},
        {1, "Update Required!", "Would you like to update your Z6 Studio software now?", "Cancel", nullptr},
        {2, "Updating Software...", "Please don't unplug the Z6 Studio while updating!", nullptr, nullptr},
        {3, "Update Complete!", "Your Z6 Studio has been updated and is ready to use.", nullptr, "Done"},
        {4, "Update Failed!", "Please check your connections and try again.", nullptr, "Close"},
        {5, "Software Incompatible!", "Please download the latest version of your Z6 Studio software.", nullptr,
         "Close"},
    };
    for (const Case& c : cases) {
        dialog.updateText(c.state);
        EXPECT_EQ(dialog.state(), c.state);
        EXPECT_EQ(dialog.headingLabel()->text(), QLatin1String(c.heading)) << c.state;
        EXPECT_EQ(dialog.messageLabel()->text(), QLatin1String(c.message)) << c.state;
        EXPECT_EQ(dialog.noButton()->isHidden(), c.no == nullptr) << c.state;
        EXPECT_EQ(dialog.yesButton()->isHidden(), c.no == nullptr) << c.state;
        if (c.no) {
            EXPECT_EQ(dialog.noButton()->text(), QLatin1String(c.no));
            EXPECT_EQ(dialog.yesButton()->text(), QStringLiteral("Update"));
        }
        EXPECT_EQ(dialog.closeButton()->isHidden(), c.one == nullptr) << c.state;
        if (c.one) {
            EXPECT_EQ(dialog.closeButton()->text(), QLatin1String(c.one));
        }
        EXPECT_EQ(dialog.progressBar()->isHidden(), c.state != 2) << c.state;
    }
    EXPECT_EQ(dialog.titleLabel()->text(), QStringLiteral("Incompatible Software"));
    dialog.updateText(6);
    dialog.updateText(-1);
    EXPECT_EQ(dialog.state(), 5);
    EXPECT_EQ(dialog.headingLabel()->text(), QStringLiteral("Software Incompatible!"));
    EXPECT_EQ(QString::fromLatin1(dialog.metaObject()->className()), QStringLiteral("TWG::Zanthic::FirmwareUpdateDialog"));
}

class ControllerTest : public ::testing::Test {
protected:
    ControllerTest()
    {
        family = new D2Family(QStringLiteral("ZanthicConverters"), {}, &host);
        manager = std::make_shared<FakeManager>(family, modelTable());
        family->addConnectionManager(manager);
        auto d = manager->add(QStringLiteral("s"));
        family->onPotentialDeviceArrived(d);
        updater = new ScriptedUpdater;
        manager->updater = QSharedPointer<DeviceFirmwareUpdater>(updater);
        controller = new FirmwareUpdateController(&host, family->visibleDevices().first());
    }
    ~ControllerTest() override
    {
        delete controller;
        delete family;
    }
    FirmwareUpdateDialog* dialog() const { return controller->dialog(); }

    QWidget host;
    D2Family* family;
    std::shared_ptr<FakeManager> manager;
    ScriptedUpdater* updater;
    FirmwareUpdateController* controller;
};

// The task reports from its own thread: progress and the end reach the dialog on the GUI
// thread, and nothing is reported to the family until the user presses Done.
TEST_F(ControllerTest, WithoutPromptTheUpdateRunsAtOnceAndEndsWhenTheUserSaysSo)
{
    QSignalSpy finished(controller, &FirmwareUpdateController::firmwareUpdated);
    controller->start(false, true);
    EXPECT_EQ(dialog()->state(), FirmwareUpdateDialog::Updating);
    EXPECT_EQ(updater->starts, 1);
    EXPECT_EQ(dialog()->messageLabel()->text(), QStringLiteral("Please don't unplug the Z6 Studio while updating!"));

    std::thread worker([u = updater] {
        emit u->firmwareUpdateProgress(-1);
        emit u->firmwareUpdateProgress(30);
        emit u->firmwareUpdated(DeviceFirmwareUpdater::Succeeded);
    });
    worker.join();
    EXPECT_EQ(dialog()->state(), FirmwareUpdateDialog::Updating) << "nothing before the GUI thread runs";
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog()->state() == FirmwareUpdateDialog::Complete; }, 1000));
    EXPECT_EQ(dialog()->progressBar()->value(), 30);
    EXPECT_EQ(finished.count(), 0);
    dialog()->closeButton()->click();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_FALSE(finished[0][0].toBool()) << "a required update leaves the card closed";
}

TEST_F(ControllerTest, AFailedTaskSaysSoUntilClosedAndLaterReportsAreIgnored)
{
    QSignalSpy finished(controller, &FirmwareUpdateController::firmwareUpdated);
    controller->start(true, false);
    EXPECT_EQ(dialog()->state(), FirmwareUpdateDialog::Available);
    EXPECT_EQ(updater->starts, 0);
    dialog()->yesButton()->click();
    EXPECT_EQ(updater->starts, 1);
    emit updater->firmwareUpdated(DeviceFirmwareUpdater::Failed);
    EXPECT_EQ(dialog()->state(), FirmwareUpdateDialog::Failed);
    emit updater->firmwareUpdated(DeviceFirmwareUpdater::Succeeded);
    emit updater->firmwareUpdateProgress(80);
    EXPECT_EQ(dialog()->state(), FirmwareUpdateDialog::Failed) << "the run is over";
    EXPECT_EQ(finished.count(), 0);
    dialog()->closeButton()->click();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_TRUE(finished[0][0].toBool()) << "closing an update that was not required opens the card";
}

TEST_F(ControllerTest, ClosingOrDecliningReportsWhetherTheUpdateWasRequired)
{
    for (const bool required : {true, false}) {
        QSignalSpy finished(controller, &FirmwareUpdateController::firmwareUpdated);
        controller->start(true, required);
        EXPECT_EQ(dialog()->state(), required ? FirmwareUpdateDialog::Required : FirmwareUpdateDialog::Available);
        dialog()->noButton()->click();
        ASSERT_EQ(finished.count(), 1) << required;
        EXPECT_EQ(finished[0][0].toBool(), !required);
        EXPECT_TRUE(dialog()->isHidden());
    }
}

} // namespace
