#include "plugins/zanthic/ui/D2CardTabbedPages.h"
#include "plugins/zanthic/ui/D2FirmwareUpdateRow.h"
#include "plugins/zanthic/ui/D2ProductCard.h"
#include "plugins/zanthic/ui/D2SettingsLineEdit.h"
#include "plugins/zanthic/ui/D2SettingsPage.h"
#include "plugins/zanthic/ui/D2SettingsPushButton.h"
#include "plugins/zanthic/ui/ZanthicOstrelTab.h"
#include "tests/plugins/zanthic/ui/SettingsFakes.h"

#include "kit/widgets/CardPushButton.h"
#include "plugins/zanthic/device/ConnectedDeviceOwner.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

namespace {

using namespace settingstest;

QStringList sectionTitles(const D2SettingsTab& tab)
{
    QStringList titles;
    for (const auto* s : tab.sections())
        titles.append(s->title());
    return titles;
}

QStringList tabTitles(D2SettingsPage& page)
{
    QStringList titles;
    for (QAbstractButton* b : page.tabs()->buttons()->buttons())
        titles.append(static_cast<D2TabButton*>(b)->title());
    return titles;
}

// The Setup tab on a page on a window, so its dialogs cover something.
struct SetupHost {
    explicit SetupHost(std::shared_ptr<RecordingDevice> d) : device(std::move(d))
    {
        window.resize(780, 710);
        page = new D2SettingsPage(&window, device);
        tab = new ZanthicOstrelTab(device, &window, page);
        page->addTab(tab, QStringLiteral("Setup"), D2CardTabbedPages::Left);
        page->resize(window.size());
        window.show();
    }
    void click(QButtonGroup* group, int id) { QTest::mouseClick(group->button(id), Qt::LeftButton, {}, QPoint(4, 12)); }

    std::shared_ptr<RecordingDevice> device;
    QWidget window;
    D2SettingsPage* page;
    ZanthicOstrelTab* tab;
};

TEST(SetupTab, SectionsFollowTheModelsCapabilities)
{
    const QString audio = QStringLiteral("Audio Mapping");
    const struct {
        std::uint16_t productId;
        bool bothMappings;
        QStringList sections;
    } cases[] = {
        {0xBE89, false, {"", "SDI Camera Control", "SDI Output", "HDMI Output", audio, "Reset"}},
        {0xBE79, false, {"", "SDI Camera Control", "SDI Output", "HDMI Output", audio, "Reset"}},
        {0xBE90, false, {"", "HDMI Output", audio, "Reset"}},
        {0xBE6F, false, {"", "HDMI Output", audio, "Reset"}},
        {0xBE70, false, {"", "SDI Output", "Reset"}},
        {0xBE91, false, {"", "SDI Output", "Reset"}},
        {0xBE6F, true, {"", "HDMI Output", audio, audio, "Reset"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::number(c.productId, 16).toStdString() + (c.bothMappings ? " both mappings" : ""));
        auto device = recordingDevice(c.productId);
        device->bothMappings = c.bothMappings;
        ZanthicOstrelTab tab(device, nullptr, nullptr);
        EXPECT_EQ(sectionTitles(tab), c.sections);
        EXPECT_EQ(tab.cameraIdField() != nullptr, c.sections.contains(QStringLiteral("SDI Camera Control")));
        EXPECT_EQ(tab.rxMappingGroup() != nullptr, c.bothMappings);
        EXPECT_NE(tab.firmwareRow(), nullptr);
        EXPECT_EQ(tab.nameField()->text(), QStringLiteral("Studio A"));
        EXPECT_TRUE(device->writes().isEmpty()) << "building the tab writes nothing";
    }
}

TEST(SetupTab, ThePageHasLutsWhereTheModelSelectsLuts)
{
    const struct {
        std::uint16_t productId;
        QStringList tabs;
    } cases[] = {{0xBE89, {"Setup", "LUTs"}}, {0xBE90, {"Setup", "LUTs"}}, {0xBE70, {"Setup", "LUTs"}}, {0xBE79, {"Setup"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.productId);
        auto device = recordingDevice(c.productId);
        QWidget card;
        std::unique_ptr<QWidget> page(createD2SettingsPage(*device, &card));
        auto* settings = qobject_cast<D2SettingsPage*>(page.get());
        ASSERT_NE(settings, nullptr);
        EXPECT_EQ(tabTitles(*settings), c.tabs);
        EXPECT_TRUE(settings->tabs()->buttons()->button(0)->isChecked());
    }
}

TEST(SetupTab, AClickWritesAtOnceAndCancelWritesBackWhatTheTabRead)
{
    auto device = recordingDevice(0xBE89);
    device->setValue("HdmiClamp", 1);
    device->setValue("HdmiTxSwap", 0);
    device->setValue("SdiLevelA", 1);
    device->setValue("ZephId", 7);
    SetupHost host(device);
    ZanthicOstrelTab* tab = host.tab;
    EXPECT_TRUE(tab->hdmiClipGroup()->button(1)->isChecked());
    EXPECT_TRUE(tab->sdiLevelGroup()->button(1)->isChecked());
    EXPECT_EQ(tab->cameraIdField()->text(), QStringLiteral("7"));

    EXPECT_EQ(tab->hdmiClipGroup()->button(0)->text(), QStringLiteral("Illegal levels (0 - 255)"));
    host.click(tab->hdmiClipGroup(), 0);
    host.click(tab->txMappingGroup(), 1);
    host.click(tab->sdiLevelGroup(), 0);
    EXPECT_EQ(device->writes(), (QStringList{"HdmiClamp 0", "HdmiTxSwap 1", "SdiLevelA 0"}));

    // The device's echo of a value changed elsewhere shows, and writes nothing back.
    device->clearWrites();
    tab->setHdmiClipLevel(true);
    tab->setSecondAudioMapping(false);
    tab->setSdiOutputLevel(true);
    EXPECT_TRUE(tab->hdmiClipGroup()->button(1)->isChecked());
    EXPECT_TRUE(tab->txMappingGroup()->button(0)->isChecked());
    EXPECT_TRUE(tab->sdiLevelGroup()->button(1)->isChecked());
    EXPECT_TRUE(device->writes().isEmpty()) << device->writes().join(", ").toStdString();

    QSignalSpy closed(host.page, &D2SettingsPage::closePage);
    host.page->onCancelPressed();
    EXPECT_EQ(device->writes(), (QStringList{"HdmiClamp 1", "HdmiTxSwap 0", "SdiLevelA 1", "ZephId 7"}));
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(device->names.isEmpty()) << "Cancel sends no name";
}

TEST(SetupTab, CancelOnAModelWithoutTheseSettingsWritesNothingAndCloses)
{
    auto device = recordingDevice(0xBE70);
    device->setValue("SdiLevelA", 0);
    SetupHost host(device);
    QSignalSpy closed(host.page, &D2SettingsPage::closePage);
    host.page->onCancelPressed();
    EXPECT_EQ(device->writes(), QStringList{"SdiLevelA 0"});
    EXPECT_EQ(closed.count(), 1);
}

TEST(SetupTab, SaveSendsAChangedTrimmedName)
{
    const struct {
        const char* typed;
        QStringList sent;
    } cases[] = {
        {"  New Name  ", {"New Name"}}, {"Studio A", {}}, {" Studio A ", {}}, {"   ", {}}, {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        auto device = recordingDevice(0xBE89);
        SetupHost host(device);
        host.tab->nameField()->setText(QString::fromUtf8(c.typed));
        QSignalSpy closed(host.page, &D2SettingsPage::closePage);
        host.page->onSavePressed();
        EXPECT_EQ(device->names, c.sent);
        EXPECT_EQ(closed.count(), 1);
        EXPECT_TRUE(device->writes().isEmpty()) << "Save writes no setting back";
    }
}

TEST(SetupTab, TheNameFieldRefusesA64ByteName)
{
    auto device = recordingDevice(0xBE89);
    SetupHost host(device);
    D2SettingsLineEdit* field = host.tab->nameField();
    field->clear();
    field->setFocus();
    QTest::keyClicks(field, QString(64, QLatin1Char('n')));
    EXPECT_EQ(field->text().toUtf8().size(), 63);
    field->clear();
    for (int i = 0; i < 32; ++i)
        field->insert(QString::fromUtf8("\xC3\xA9")); // two bytes each, as typed
    EXPECT_EQ(field->text().size(), 31);
}

// Types into the camera-id field and takes the focus elsewhere.
void typeCameraId(SetupHost& host, const QString& keys, bool clearFirst = true)
{
    D2SettingsLineEdit* field = host.tab->cameraIdField();
    host.window.activateWindow();
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }));
    if (clearFirst)
        field->clear();
    QTest::keyClicks(field, keys);
    host.tab->nameField()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !field->hasFocus(); }));
    QCoreApplication::processEvents();
}

TEST(SetupTab, CameraIdIsSentWhenLeftAndAnEmptiedFieldShowsTheDevicesId)
{
    auto device = recordingDevice(0xBE89);
    device->setValue("ZephId", 7);
    SetupHost host(device);
    D2SettingsLineEdit* field = host.tab->cameraIdField();
    EXPECT_EQ(field->width(), 40);
    EXPECT_FALSE(field->showsStatus());

    typeCameraId(host, QStringLiteral("42"));
    EXPECT_EQ(device->writes(), QStringList{"ZephId 42"});
    EXPECT_EQ(field->text(), QStringLiteral("42"));

    // 0 and 100 cannot be typed: the field keeps what it can take.
    device->clearWrites();
    typeCameraId(host, QStringLiteral("0"));
    EXPECT_EQ(field->text(), QStringLiteral("42")) << "emptied, then refilled from the device";
    EXPECT_EQ(device->writes(), QStringList{"ZephId 42"});
    device->clearWrites();
    typeCameraId(host, QStringLiteral("100"));
    EXPECT_EQ(device->writes(), QStringList{"ZephId 10"});
    EXPECT_EQ(field->text(), QStringLiteral("10"));

    // Cleared and left: Qt finishes no edit, the tab still re-sends and shows the device's id.
    device->clearWrites();
    device->setValue("ZephId", 9);
    typeCameraId(host, QString());
    EXPECT_EQ(field->text(), QStringLiteral("9"));
    EXPECT_EQ(device->writes(), QStringList{"ZephId 9"});
}

TEST(SetupTab, FactoryResetAsksThenResetsAndClosesTheCard)
{
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "Reset" : "Cancel");
        auto device = recordingDevice(0xBE89);
        auto* card = new QWidget;
        card->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<QWidget> watch(card);
        card->resize(780, 710);
        card->show();
        auto* page = new D2SettingsPage(card, device);
        auto* tab = new ZanthicOstrelTab(device, card, page);
        page->addTab(tab, QStringLiteral("Setup"), D2CardTabbedPages::Left);
        FactoryResetDialog* dialog = tab->factoryResetDialog();
        EXPECT_TRUE(dialog->isHidden());
        QTest::mouseClick(tab->factoryResetButton(), Qt::LeftButton);
        ASSERT_FALSE(dialog->isHidden());
        EXPECT_EQ(dialog->titleLabel()->text(), QStringLiteral("Factory Reset"));
        EXPECT_EQ(dialog->headingLabel()->text(), QStringLiteral("Reset Settings?"));
        EXPECT_EQ(dialog->geometry(), QRect(QPoint(0, 0), card->size())) << "it covers the whole window";
        (reset ? dialog->yesButton() : dialog->noButton())->click();
        EXPECT_EQ(device->factoryResets, reset ? 1 : 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(watch.isNull(), reset);
        if (!reset) {
            EXPECT_TRUE(dialog->isHidden());
            delete card;
        }
    }
}

TEST(SetupTab, UpdateNowReachesTheCard)
{
    struct Owner : QObject, ConnectedDeviceOwner {
        QObject* ownerObject() override { return this; }
        bool isFirmwareUpdateAvailable() const override { return true; }
        bool isSoftwareSupported() const override { return true; }
        QString availableSoftwareVersion() const override { return QStringLiteral("7.6"); }
        QString availableFirmwareVersion() const override { return QStringLiteral("0000b6f1"); }
        void deviceRenamed(const QString&) override {}
        void watchRemoval(QObject*, std::function<void()>) override {}
    } owner;
    class OwnedDevice : public RecordingDevice {
    public:
        explicit OwnedDevice(Owner* o) : RecordingDevice(0xBE89), o_(o) {}
        // The update questions go to the owner, as a connected device's do.
        bool isFirmwareUpdateAvailable() override { return o_->isFirmwareUpdateAvailable(); }
        bool isSoftwareSupported() override { return true; }

    private:
        Owner* o_;
    };
    auto device = makeConnectedDevice<OwnedDevice>(&owner);
    ZanthicConvertersConnectedDevice::setSettingsPageBuilder(&createD2SettingsPage);
    QWidget host;
    auto* card = new D2ProductCard(nullptr, device, &host);
    ASSERT_TRUE(QTest::qWaitFor([&] { return qobject_cast<D2SettingsPage*>(card->pages()->currentWidget()) != nullptr; }));
    auto* page = qobject_cast<D2SettingsPage*>(card->pages()->currentWidget());
    auto* tab = qobject_cast<ZanthicOstrelTab*>(page->tabs()->stack()->widget(0));
    ASSERT_NE(tab, nullptr);
    ASSERT_NE(tab->firmwareRow()->updateButton(), nullptr);
    QSignalSpy asked(card, &D2ProductCard::firmwareUpdateRequested);
    tab->firmwareRow()->updateButton()->click();
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.at(0).at(0).toBool(), true);
    delete card;
    ZanthicConvertersConnectedDevice::setSettingsPageBuilder(nullptr);
}

} // namespace
