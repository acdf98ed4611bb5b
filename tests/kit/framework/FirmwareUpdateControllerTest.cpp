#include "kit/framework/DeviceFirmwareUpdater.h"
#include "kit/framework/FirmwareUpdateController.h"
#include "kit/framework/FirmwareUpdateDialog.h"
#include "kit/widgets/CardPushButton.h"
#include "tests/kit/framework/FakeDevice.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>

#include <thread>

namespace {

// Reports like a real task: from a thread of its own, so every report reaches the GUI thread
// queued. The test decides when each report is sent.
class FakeUpdater : public DeviceFirmwareUpdater {
public:
    bool firmwareIsCurrent() override { return current; }
    void startUpdate() override { ++starts; }

    void reportProgressFromWorker(int percent)
    {
        std::thread([this, percent] { emit firmwareUpdateProgress(percent); }).join();
    }
    void reportResultFromWorker(int status)
    {
        std::thread([this, status] { emit firmwareUpdated(status); }).join();
    }

    bool current = false;
    int starts = 0;
};

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(800, 600);
        window.show();
        device.updater = &updater;
        // What the card reads in each firmwareUpdated().
        QObject::connect(&controller, &FirmwareUpdateController::firmwareUpdated, &controller,
                         [this] { heard.push_back(controller.result()); });
    }
    FirmwareUpdateDialog* dialog() const { return controller.dialog(); }
    void clickYes() { dialog()->yesButton()->click(); }
    void clickNo() { dialog()->noButton()->click(); }
    void clickClose() { dialog()->closeButton()->click(); }
    void deliver() { QCoreApplication::processEvents(); }

    QWidget window;
    FakeUpdater updater;
    FakeDevice device;
    FirmwareUpdateController controller{&window};
    QSignalSpy reported{&controller, &FirmwareUpdateController::firmwareUpdated};
    std::vector<int> heard;
};

enum class Ending { None, Decline, Success, Failure };

struct RunCase {
    const char* label;
    bool hasDevice;
    bool hasUpdater;
    bool current;
    Ending ending;
    int expectedResult;
    bool dialogShown;
};

class ControllerRun : public ControllerTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(ControllerRun, EndsWithItsResultReportedOnce)
{
    const RunCase& c = GetParam();
    updater.current = c.current;
    if (!c.hasUpdater)
        device.updater = nullptr;
    controller.promptForUpdate(c.hasDevice ? &device : nullptr);
    EXPECT_EQ(dialog() != nullptr, c.dialogShown);

    if (c.ending != Ending::None) {
        ASSERT_TRUE(dialog() && dialog()->isVisible());
        EXPECT_EQ(dialog()->state(), FirmwareUpdateDialog::Prompt);
        EXPECT_EQ(reported.count(), 0);
        if (c.ending == Ending::Decline) {
            clickNo();
        } else {
            clickYes();
            EXPECT_EQ(dialog()->state(), FirmwareUpdateDialog::Updating);
            EXPECT_EQ(updater.starts, 1);
            updater.reportResultFromWorker(c.ending == Ending::Success ? 0 : 1);
            const int ended = c.ending == Ending::Success ? FirmwareUpdateDialog::Completed
                                                          : FirmwareUpdateDialog::Failed;
            ASSERT_TRUE(QTest::qWaitFor([&] { return dialog()->state() == ended; })) << dialog()->state();
            EXPECT_EQ(reported.count(), 0); // the user still has to close the dialog
            EXPECT_EQ(dialog()->closeButton()->text(),
                      c.ending == Ending::Success ? QStringLiteral("Done") : QStringLiteral("Close"));
            clickClose();
        }
    }
    EXPECT_EQ(reported.count(), 1);
    EXPECT_EQ(controller.result(), c.expectedResult);
    EXPECT_EQ(controller.device(), nullptr);
    if (dialog()) {
        EXPECT_FALSE(dialog()->isVisible());
    }
}

INSTANTIATE_TEST_SUITE_P(
    , ControllerRun,
    ::testing::Values(RunCase{"NoDevice", false, true, false, Ending::None, 0, false},
                      RunCase{"NoUpdater", true, false, false, Ending::None, 2, false},
                      RunCase{"AlreadyCurrent", true, true, true, Ending::None, 6, false},
                      RunCase{"Declined", true, true, false, Ending::Decline, 4, true},
                      RunCase{"Succeeded", true, true, false, Ending::Success, 6, true},
                      RunCase{"Failed", true, true, false, Ending::Failure, 5, true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ControllerTest, PromptWhileBusyLeavesTheRunningUpdateAlone)
{
    controller.promptForUpdate(&device);
    controller.promptForUpdate(&device);
    EXPECT_EQ(dialog()->state(), FirmwareUpdateDialog::Prompt);
    clickYes();
    FakeDevice other;
    controller.promptForUpdate(&other);
    EXPECT_EQ(dialog()->state(), FirmwareUpdateDialog::Updating);
    EXPECT_EQ(controller.device(), &device);
    EXPECT_EQ(heard, (std::vector<int>{FirmwareUpdateController::Busy, FirmwareUpdateController::Busy}));
}

// A prompt while a finished run's Done or Close still shows is refused as busy, and the run's
// own result still stands when the user closes its dialog.
TEST_F(ControllerTest, PromptAfterTheRunEndedKeepsItsResult)
{
    struct Case {
        int status;
        int result;
        int state;
    };
    const Case cases[] = {{0, FirmwareUpdateController::Completed, FirmwareUpdateDialog::Completed},
                          {1, FirmwareUpdateController::Failed, FirmwareUpdateDialog::Failed}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        heard.clear();
        controller.promptForUpdate(&device);
        clickYes();
        updater.reportResultFromWorker(c.status);
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog()->state() == c.state; }));
        FakeDevice other;
        controller.promptForUpdate(&other);
        EXPECT_EQ(controller.result(), c.result) << "the refusal reads Busy only while it is reported";
        EXPECT_EQ(dialog()->state(), c.state);
        clickClose();
        EXPECT_EQ(heard, (std::vector<int>{FirmwareUpdateController::Busy, c.result}));
    }
}

TEST_F(ControllerTest, ProgressFromTheWorkerDrivesTheBar)
{
    controller.promptForUpdate(&device);
    clickYes();
    QProgressBar* bar = dialog()->progressBar();
    updater.reportProgressFromWorker(-1);
    updater.reportProgressFromWorker(-1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->maximum() == 0; })) << bar->maximum();
    EXPECT_EQ(dialog()->progressLabel()->text(), QStringLiteral("..."));
    updater.reportProgressFromWorker(30);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->value() == 30; })) << bar->value();
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(dialog()->progressLabel()->text(), QStringLiteral("30%"));
}

// The failure dialog says "try again": the next run reuses the dialog and reports again.
TEST_F(ControllerTest, RetryAfterAFailureReusesTheDialogAndReportsAgain)
{
    controller.promptForUpdate(&device);
    FirmwareUpdateDialog* first = dialog();
    clickYes();
    updater.reportProgressFromWorker(80);
    updater.reportResultFromWorker(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog()->state() == FirmwareUpdateDialog::Failed; }))
        << dialog()->state();
    clickClose();
    ASSERT_EQ(controller.result(), FirmwareUpdateController::Failed);

    controller.promptForUpdate(&device);
    EXPECT_EQ(dialog(), first);
    EXPECT_EQ(dialog()->state(), FirmwareUpdateDialog::Prompt);
    clickYes();
    EXPECT_EQ(dialog()->progressBar()->value(), 0);
    updater.reportResultFromWorker(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog()->state() == FirmwareUpdateDialog::Completed; }))
        << dialog()->state();
    clickClose();
    EXPECT_EQ(controller.result(), FirmwareUpdateController::Completed);
    EXPECT_EQ(reported.count(), 2);
    EXPECT_EQ(updater.starts, 2);
}

// Unplugging mid-update closes the dialog; when the device comes back and is prompted again,
// the abandoned run's reports (already queued, or sent later) must not drive the new dialog.
TEST_F(ControllerTest, AbandonedUpdaterNeverDrivesTheNextPrompt)
{
    controller.promptForUpdate(&device);
    clickYes();
    updater.reportProgressFromWorker(40);
    updater.reportResultFromWorker(0); // queued, not yet delivered
    controller.closeDialog();
    EXPECT_FALSE(dialog()->isVisible());
    EXPECT_EQ(controller.device(), nullptr);

    FakeUpdater nextUpdater;
    FakeDevice next;
    next.updater = &nextUpdater;
    controller.promptForUpdate(&next);
    EXPECT_EQ(dialog()->state(), FirmwareUpdateDialog::Prompt);
    clickYes();
    deliver(); // the old run's queued reports arrive during the new run
    updater.reportResultFromWorker(1); // and the old task ends once more
    deliver();
    EXPECT_EQ(dialog()->state(), FirmwareUpdateDialog::Updating);
    EXPECT_EQ(dialog()->progressBar()->value(), 0);
    EXPECT_EQ(reported.count(), 0);

    nextUpdater.reportResultFromWorker(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog()->state() == FirmwareUpdateDialog::Completed; }))
        << dialog()->state();
    clickClose();
    EXPECT_EQ(controller.result(), FirmwareUpdateController::Completed);
    EXPECT_EQ(reported.count(), 1);
}

} // namespace
