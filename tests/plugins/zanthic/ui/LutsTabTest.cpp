#include "plugins/zanthic/ui/D2CardTabbedPages.h"
#include "plugins/zanthic/ui/D2SettingsCheckBox.h"
#include "plugins/zanthic/ui/D2SettingsLabel.h"
#include "plugins/zanthic/ui/D2SettingsLineEdit.h"
#include "plugins/zanthic/ui/D2SettingsPage.h"
#include "plugins/zanthic/ui/D2SettingsPushButton.h"
#include "plugins/zanthic/ui/DeleteLutDialog.h"
#include "plugins/zanthic/ui/LutTransferThread.h"
#include "plugins/zanthic/ui/TransferProgressDialog.h"
#include "plugins/zanthic/ui/ZanthicConvertersLutsTab.h"
#include "tests/plugins/zanthic/ui/SettingsFakes.h"

#include "kit/framework/ConnectingStatusPage.h"
#include "kit/widgets/CardPushButton.h"
#include "plugins/zanthic/device/ConnectedDeviceOwner.h"
#include "plugins/zanthic/ui/ConnectionLostDialog.h"
#include "plugins/zanthic/ui/D2ProductCard.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace settingstest;

// The LUTs tab on a page on a window, with files to import.
struct LutsHost {
    explicit LutsHost(std::shared_ptr<RecordingDevice> d) : device(std::move(d))
    {
        window.resize(780, 710);
        page = new D2SettingsPage(&window, device);
        tab = new ZanthicConvertersLutsTab(device, page);
        page->addTab(tab, QStringLiteral("LUTs"), D2CardTabbedPages::Left);
        page->resize(window.size());
        window.show();
    }
    QString file(const QString& name)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("LUT_3D_SIZE 2\n");
        return path;
    }
    bool controlsEnabled() const
    {
        bool all = tab->deleteButton()->isEnabled() && tab->selectionGroup()->button(0)->isEnabled() &&
            tab->nameLabel()->isEnabled();
        for (QCheckBox* box : {static_cast<QCheckBox*>(tab->sdiCheckBox()), static_cast<QCheckBox*>(tab->hdmiCheckBox()),
                               static_cast<QCheckBox*>(tab->loopCheckBox())})
            if (box)
                all = all && box->isEnabled();
        return all;
    }
    bool controlsDisabled() const
    {
        bool none = !tab->deleteButton()->isEnabled() && !tab->selectionGroup()->button(0)->isEnabled();
        for (QCheckBox* box : {static_cast<QCheckBox*>(tab->sdiCheckBox()), static_cast<QCheckBox*>(tab->hdmiCheckBox()),
                               static_cast<QCheckBox*>(tab->loopCheckBox())})
            if (box)
                none = none && !box->isEnabled();
        return none;
    }
    bool transferDone() const { return tab->transferDialog() && !tab->transferDialog()->isBusy(); }

    std::shared_ptr<RecordingDevice> device;
    QTemporaryDir dir;
    QWidget window;
    D2SettingsPage* page;
    ZanthicConvertersLutsTab* tab;
};

// Opens the gate from another thread after a while: a GUI thread that waits on the worker
// would be held until then, and the test sees that it was.
struct LateOpener {
    explicit LateOpener(Gate& g) : t([&g, this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        opened = true;
        g.open();
    })
    {
    }
    ~LateOpener() { t.join(); }
    std::atomic<bool> opened{false};
    std::thread t;
};

TEST(LutsTab, LayoutAndStartingStateByModel)
{
    const struct {
        std::uint16_t productId;
        bool outputs, loop;
    } cases[] = {{0xBE89, true, false}, {0xBE6F, false, true}, {0xBE90, false, true}, {0xBE70, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.productId);
        auto device = recordingDevice(c.productId);
        device->setValue("LutSelection", 255);
        device->setValue("LutLoop", 1);
        device->setValue("LutSdiOut", 1);
        LutsHost host(device);
        EXPECT_EQ(host.tab->sdiCheckBox() != nullptr, c.outputs);
        EXPECT_EQ(host.tab->hdmiCheckBox() != nullptr, c.outputs);
        EXPECT_EQ(host.tab->loopCheckBox() != nullptr, c.loop);
        EXPECT_TRUE(host.tab->selectionGroup()->button(255)->isChecked());
        if (c.outputs) {
            EXPECT_TRUE(host.tab->sdiCheckBox()->isChecked());
            EXPECT_FALSE(host.tab->hdmiCheckBox()->isChecked());
        }
        if (c.loop) {
            EXPECT_TRUE(host.tab->loopCheckBox()->isChecked());
        }
        EXPECT_TRUE(host.controlsDisabled()) << "no LUT loaded";
        EXPECT_TRUE(host.tab->importButton()->isEnabled());
        EXPECT_TRUE(device->writes().isEmpty());
    }
}

TEST(LutsTab, ClicksWriteOnceAndEchoesWriteNothing)
{
    auto device = recordingDevice(0xBE89);
    device->setLutName(QStringLiteral("film"));
    device->setValue("LutSelection", 255);
    LutsHost host(device);
    ASSERT_TRUE(host.controlsEnabled());
    EXPECT_EQ(host.tab->nameLabel()->text(), QStringLiteral("film"));
    QTest::mouseClick(host.tab->selectionGroup()->button(0), Qt::LeftButton, {}, QPoint(4, 12));
    QTest::mouseClick(host.tab->sdiCheckBox(), Qt::LeftButton, {}, QPoint(8, 10));
    QTest::mouseClick(host.tab->hdmiCheckBox(), Qt::LeftButton, {}, QPoint(8, 10));
    EXPECT_EQ(device->writes(), (QStringList{"LutSelection 0", "LutSdiOut 1", "LutHdmiOut 1"}));
    device->clearWrites();
    host.tab->setLutOnSdiOutput(false);
    host.tab->setLutSelection(255);
    EXPECT_FALSE(host.tab->sdiCheckBox()->isChecked());
    EXPECT_TRUE(host.tab->selectionGroup()->button(255)->isChecked());
    EXPECT_TRUE(device->writes().isEmpty());
}

TEST(LutsTab, ImportOnEitherPathEnablesTheControlsAndSelectsTheLut)
{
    for (const bool thread : {false, true}) {
        SCOPED_TRACE(thread ? "worker thread" : "GUI thread");
        auto device = recordingDevice(0xBE89);
        device->transferThread = thread;
        device->setValue("LutSelection", 255);
        LutsHost host(device);
        const QString path = host.file(QStringLiteral("warm.cube"));
        host.tab->importFile(path);
        if (thread) {
            ASSERT_NE(host.tab->transferDialog(), nullptr);
            EXPECT_FALSE(host.tab->transferDialog()->isHidden());
            EXPECT_EQ(host.tab->transferDialog()->headingLabel()->text(), QStringLiteral("Loading..."));
            EXPECT_EQ(host.tab->transferDialog()->messageLabel()->text(),
                      QStringLiteral("Loading the LUT warm.cube to your Zanthic Converter."));
            ASSERT_TRUE(QTest::qWaitFor([&] { return host.transferDone(); }));
            EXPECT_TRUE(host.tab->transferDialog()->isHidden());
        } else {
            EXPECT_EQ(host.tab->transferDialog(), nullptr);
        }
        EXPECT_EQ(device->loads(), QStringList{QStringLiteral("0 %1 warm.cube").arg(path)});
        EXPECT_EQ(host.tab->nameLabel()->text(), QStringLiteral("warm.cube"));
        EXPECT_TRUE(host.controlsEnabled());
        EXPECT_TRUE(host.tab->selectionGroup()->button(0)->isChecked());
        EXPECT_EQ(device->writes(), QStringList{"LutSelection 0"});
        // The worker reaches only the device: the selection is the GUI thread's, after the name.
        EXPECT_TRUE(device->offGuiWrites().isEmpty()) << device->offGuiWrites().join(", ").toStdString();
        EXPECT_EQ(host.tab->errorDialog(), nullptr);
    }
}

// A file that does not open or decode is corrupt; an upload that did not get through says so
// in its own words. Either way the selection stays as it was.
TEST(LutsTab, AFailedLoadSaysWhetherTheFileOrTheTransferFailed)
{
    const QString corrupt = QStringLiteral("The LUT broken.cube has failed to import because the file is corrupt.");
    const QString transfer =
        QStringLiteral("The LUT could not be sent to your Zanthic Converter. Check its USB connection and try again.");
    const struct {
        int result;
        const char* title;
        const char* heading;
        QString message;
    } cases[] = {
        {22, "LUT File Corrupt", "File Corrupt!", corrupt},
        {2, "LUT File Corrupt", "File Corrupt!", corrupt},
        {5, "Loading LUT", "LUT Transfer Failed", transfer},
        {19, "Loading LUT", "LUT Transfer Failed", transfer},
    };
    for (const auto& c : cases) {
        for (const bool thread : {false, true}) {
            SCOPED_TRACE(c.result);
            SCOPED_TRACE(thread ? "worker thread" : "GUI thread");
            auto device = recordingDevice(0xBE89);
            device->transferThread = thread;
            device->loadResult = c.result;
            device->setValue("LutSelection", 255);
            LutsHost host(device);
            host.tab->importFile(host.file(QStringLiteral("broken.cube")));
            ASSERT_TRUE(QTest::qWaitFor([&] { return host.tab->errorDialog() != nullptr; }));
            CommonDialog* error = host.tab->errorDialog();
            EXPECT_FALSE(error->isHidden());
            EXPECT_EQ(error->titleLabel()->text(), QLatin1String(c.title));
            EXPECT_EQ(error->headingLabel()->text(), QLatin1String(c.heading));
            EXPECT_EQ(error->messageLabel()->text(), c.message);
            EXPECT_EQ(error->closeButton()->text(), QStringLiteral("OK"));
            EXPECT_TRUE(device->writes().isEmpty());
            EXPECT_TRUE(host.tab->selectionGroup()->button(255)->isChecked());
            EXPECT_TRUE(host.controlsDisabled());
            QPointer<CommonDialog> watch(error);
            error->closeButton()->click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_TRUE(watch.isNull());
        }
    }
}

// A removal that did not get through says so; the tab shows the LUT the device still reports.
TEST(LutsTab, AFailedDeleteSaysSoAndShowsTheLutTheDeviceKept)
{
    auto device = recordingDevice(0xBE89);
    device->setLutName(QStringLiteral("film"));
    device->deleteResult = 5;
    LutsHost host(device);
    host.tab->deleteButton()->click();
    host.tab->deleteDialog()->yesButton()->click();
    EXPECT_TRUE(host.tab->deleteDialog()->isHidden());
    ASSERT_NE(host.tab->errorDialog(), nullptr);
    EXPECT_FALSE(host.tab->errorDialog()->isHidden());
    EXPECT_EQ(host.tab->errorDialog()->headingLabel()->text(), QStringLiteral("LUT Transfer Failed"));
    EXPECT_EQ(host.tab->nameLabel()->text(), QStringLiteral("film"));
    EXPECT_TRUE(host.tab->deleteButton()->isEnabled());
}

// The file dialog does not block, and stays application-modal once it shows.
TEST(LutsTab, TheImportFileDialogIsApplicationModalAndDoesNotBlock)
{
    auto device = recordingDevice(0xBE89);
    LutsHost host(device);
    host.tab->importButton()->click(); // returns: nothing waits for the dialog's answer
    QFileDialog* dialog = host.tab->fileDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Open 3D LUT file"));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    dialog->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(host.tab->fileDialog(), nullptr);
    EXPECT_TRUE(device->loads().isEmpty());
}

TEST(LutsTab, AVanishedFileDoesNothing)
{
    auto device = recordingDevice(0xBE89);
    LutsHost host(device);
    host.tab->importFile(host.dir.filePath(QStringLiteral("gone.cube")));
    EXPECT_TRUE(device->loads().isEmpty());
    EXPECT_EQ(host.tab->transferDialog(), nullptr);
}

// A second import starts when the first has completed, and the GUI thread never waits for it.
TEST(LutsTab, ASecondImportWaitsForTheFirstWithoutHoldingTheGuiThread)
{
    auto device = recordingDevice(0xBE89);
    LutsHost host(device);
    const QString first = host.file(QStringLiteral("first.cube"));
    const QString second = host.file(QStringLiteral("second.cube"));
    device->gate.close();
    host.tab->importFile(first);
    ASSERT_TRUE(QTest::qWaitFor([&] { return device->gate.waiting() == 1; }));
    {
        LateOpener opener(device->gate);
        host.tab->importFile(second);
        EXPECT_FALSE(opener.opened) << "the GUI thread waited for the worker";
        EXPECT_EQ(device->loads().size(), 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return device->loads().size() == 2 && host.transferDone(); }, 10000));
    }
    EXPECT_EQ(device->loads(), (QStringList{QStringLiteral("0 %1 first.cube").arg(first),
                                            QStringLiteral("0 %1 second.cube").arg(second)}));
    EXPECT_EQ(host.tab->nameLabel()->text(), QStringLiteral("second.cube"));
    EXPECT_EQ(device->writes(), (QStringList{"LutSelection 0", "LutSelection 0"}));
}

// The tab goes mid-transfer: nothing waits, the worker ends on its own, the device is released
// and the selection is still made.
TEST(LutsTab, ATabDestroyedDuringATransferLeavesTheWorkerToFinish)
{
    auto device = recordingDevice(0xBE89);
    std::weak_ptr<RecordingDevice> weak = device;
    auto* host = new LutsHost(device);
    const QString path = host->file(QStringLiteral("late.cube"));
    device->gate.close();
    host->tab->importFile(path);
    ASSERT_TRUE(QTest::qWaitFor([&] { return device->gate.waiting() == 1; }));
    std::shared_ptr<RecordingDevice> keep = device;
    device.reset();
    {
        LateOpener opener(keep->gate);
        delete host;
        EXPECT_FALSE(opener.opened) << "the tab's end waited for the worker";
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return keep->writes().contains(QStringLiteral("LutSelection 0")); }, 10000));
    keep.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return weak.expired();
    }, 10000)) << "the ended worker is deleted and lets the device go";
}

// The card keeps an upload's page while the upload runs, whatever its device's state does
// meanwhile: the upload tells its result there, then the card shows the state the device is in.
TEST(LutsTab, TheCardKeepsAnUploadsPageUntilItsResultIsTold)
{
    ZanthicConvertersConnectedDevice::setSettingsPageBuilder(&createD2SettingsPage);
    const struct {
        const char* name;
        int result;
        ConnectionState after;
    } cases[] = {
        {"fails, its device lost", 5, Interrupted},
        {"loads, its device back", 0, Connected},
    };
    const auto settle = [] {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto device = recordingDevice(0xBE89);
        device->loadResult = c.result;
        QWidget window;
        window.resize(780, 710);
        window.show();
        QPointer<D2ProductCard> card = new D2ProductCard(nullptr, device, &window);
        const auto settingsShown = [&] { return qobject_cast<D2SettingsPage*>(card->pages()->currentWidget()) != nullptr; };
        ASSERT_TRUE(QTest::qWaitFor(settingsShown));
        QPointer<ZanthicConvertersLutsTab> tab = card->findChild<ZanthicConvertersLutsTab*>();
        ASSERT_TRUE(tab);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("grade.cube")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        device->gate.close();
        tab->importFile(file.fileName());
        ASSERT_TRUE(QTest::qWaitFor([&] { return device->gate.waiting() == 1; }));

        for (ConnectionState meanwhile : {Connecting, c.after}) {
            device->setConnectionState(meanwhile);
            settle();
            ASSERT_TRUE(tab) << "the upload's tab went under it";
            EXPECT_TRUE(settingsShown());
            EXPECT_TRUE(tab->transferDialog()->isVisible());
            EXPECT_TRUE(card->lostDialog()->isHidden());
        }
        device->gate.open();
        ASSERT_TRUE(QTest::qWaitFor([] { return !LutTransferThread::anyRunning(); }));
        settle();
        QList<CommonDialog*> told;
        for (CommonDialog* d : window.findChildren<CommonDialog*>())
            if (d->isVisible() && !qobject_cast<ConnectionLostDialog*>(d))
                told.append(d);
        if (c.result != 0) {
            ASSERT_EQ(told.size(), 1);
            EXPECT_EQ(told.first()->headingLabel()->text(), QStringLiteral("LUT Transfer Failed"));
            EXPECT_NE(qobject_cast<ConnectingStatusPage*>(card->pages()->currentWidget()), nullptr)
                << "then the card shows the device lost";
            EXPECT_FALSE(card->lostDialog()->isHidden());
        } else {
            EXPECT_TRUE(told.isEmpty());
            ASSERT_TRUE(tab);
            EXPECT_EQ(tab->nameLabel()->text(), QStringLiteral("grade.cube"));
            EXPECT_TRUE(tab->selectionGroup()->button(0)->isChecked());
            EXPECT_TRUE(card->lostDialog()->isHidden());
        }
        delete card;
        settle();
    }
    ZanthicConvertersConnectedDevice::setSettingsPageBuilder(nullptr);
}

TEST(LutsTab, DeleteThenCancelWritesNothingBack)
{
    auto device = recordingDevice(0xBE89);
    device->setLutName(QStringLiteral("film"));
    device->setValue("LutSelection", 0);
    device->setValue("LutSdiOut", 1);
    device->setValue("LutHdmiOut", 1);
    LutsHost host(device);
    host.tab->deleteButton()->click();
    DeleteLutDialog* dialog = host.tab->deleteDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->headingLabel()->text(), QStringLiteral("Remove LUT?"));
    EXPECT_FALSE(dialog->isHidden());
    dialog->yesButton()->click();
    EXPECT_TRUE(dialog->isHidden());
    EXPECT_EQ(device->loads(), QStringList{"0  "});
    EXPECT_EQ(device->writes(), (QStringList{"LutSelection 255", "LutSdiOut 0", "LutHdmiOut 0"}));
    EXPECT_TRUE(host.controlsDisabled());
    EXPECT_EQ(host.tab->nameLabel()->text(), QString());

    device->clearWrites();
    host.page->onCancelPressed();
    EXPECT_TRUE(device->writes().isEmpty()) << "no LUT: nothing is written back";
}

TEST(LutsTab, CancelAfterAnImportWritesBackTheSavedValues)
{
    auto device = recordingDevice(0xBE6F);
    device->transferThread = false;
    device->setValue("LutSelection", 255);
    device->setValue("LutLoop", 0);
    LutsHost host(device);
    host.tab->importFile(host.file(QStringLiteral("a.cube")));
    QTest::mouseClick(host.tab->loopCheckBox(), Qt::LeftButton, {}, QPoint(8, 10));
    device->clearWrites();
    host.page->onCancelPressed();
    EXPECT_EQ(device->writes(), (QStringList{"LutSelection 255", "LutLoop 0"}));
}

TEST(LutsTab, ALutNameIsCutToWholeCharactersOf63Bytes)
{
    const QString e = QString::fromUtf8("\xC3\xA9");     // 2 bytes
    const QString euro = QString::fromUtf8("\xE2\x82\xAC"); // 3 bytes
    const struct {
        const char* name;
        QString in;
        QString out;
    } cases[] = {
        {"70 ASCII", QString(70, QLatin1Char('a')), QString(63, QLatin1Char('a'))},
        {"63 ASCII", QString(63, QLatin1Char('a')), QString(63, QLatin1Char('a'))},
        {"62 ASCII and a 2-byte character", QString(62, QLatin1Char('a')) + e, QString(62, QLatin1Char('a'))},
        {"61 ASCII and a 3-byte character", QString(61, QLatin1Char('a')) + euro, QString(61, QLatin1Char('a'))},
        {"60 ASCII and a 3-byte character", QString(60, QLatin1Char('a')) + euro + QStringLiteral("b"),
         QString(60, QLatin1Char('a')) + euro},
        {"short", QStringLiteral("x.cube"), QStringLiteral("x.cube")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString cut = cutToUtf8Bytes(c.in, 63);
        EXPECT_EQ(cut, c.out);
        EXPECT_LE(cut.toUtf8().size(), 63);
    }
}

TEST(LutsTab, TheImportedNameIsCut)
{
    auto device = recordingDevice(0xBE70);
    device->transferThread = false;
    LutsHost host(device);
    const QString longName = QString(70, QLatin1Char('n'));
    host.tab->importFile(host.file(longName));
    ASSERT_EQ(device->loads().size(), 1);
    EXPECT_TRUE(device->loads().first().endsWith(QLatin1Char(' ') + QString(63, QLatin1Char('n'))));
}

} // namespace
