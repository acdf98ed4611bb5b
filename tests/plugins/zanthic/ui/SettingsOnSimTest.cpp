#include "platform/sim/models/xmega/SimXmegaState.h"
#include "plugins/zanthic/device/CubeParser.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/ui/D2CardTabbedPages.h"
#include "plugins/zanthic/ui/D2Family.h"
#include "plugins/zanthic/ui/D2ProductCard.h"
#include "plugins/zanthic/ui/D2SettingsLabel.h"
#include "plugins/zanthic/ui/D2SettingsLineEdit.h"
#include "plugins/zanthic/ui/D2SettingsPage.h"
#include "plugins/zanthic/ui/D2SettingsPushButton.h"
#include "plugins/zanthic/ui/D2VisibleDevice.h"
#include "plugins/zanthic/ui/TransferProgressDialog.h"
#include "plugins/zanthic/ui/ZanthicConvertersLutsTab.h"
#include "plugins/zanthic/ui/ZanthicOstrelTab.h"
#include "plugins/zanthic/ui/ZanthicPlugInSetup.h"
#include "protocol/Stm32Protocol.h"
#include "protocol/XmegaProtocol.h"
#include "protocol/ZanthicRegisters.h"
#include "tests/plugins/zanthic/ZanthicSimFixture.h"
#include "tests/support/CubeFiles.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QPointer>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

using namespace TWG::Zanthic;
namespace keys = TWG::Zanthic::stm32::keys;

// The plug-in's family on the simulated bus; a device's card opened to its settings page.
class SettingsOnSim : public zanthictest::ZanthicSimFixture {
protected:
    void TearDown() override
    {
        delete family;
        family = nullptr;
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    bool waitFor(std::function<bool()> done) { return QTest::qWaitFor(done, 30000); }

    // Finds the device and opens its card on its settings page.
    D2SettingsPage* openPage(std::uint16_t productId)
    {
        host.resize(780, 710);
        host.show();
        EXPECT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("Resources"))));
        family = setUpZanthicFamily(QDir(root.path()), &host);
        family->startDeviceDetection();
        return showPage(listed(productId));
    }
    // The family's device of that model, once it is listed.
    D2VisibleDevice* listed(std::uint16_t productId)
    {
        D2VisibleDevice* device = nullptr;
        EXPECT_TRUE(waitFor([&] {
            for (const auto& d : family->visibleDevices())
                if (d->activeDevice() && d->activeDevice()->productId() == productId)
                    device = d.get();
            return device != nullptr;
        }));
        return device;
    }
    // Opens the device's card on its settings page.
    D2SettingsPage* showPage(D2VisibleDevice* device)
    {
        if (!device)
            return nullptr;
        family->showDevice(device);
        const auto cards = host.findChildren<D2ProductCard*>();
        EXPECT_EQ(cards.size(), 1);
        if (cards.size() != 1)
            return nullptr;
        card = cards.first();
        EXPECT_TRUE(waitFor([&] { return card && qobject_cast<D2SettingsPage*>(card->pages()->currentWidget()); }));
        return card ? qobject_cast<D2SettingsPage*>(card->pages()->currentWidget()) : nullptr;
    }
    template <typename Tab>
    static Tab* tabOf(D2SettingsPage* page)
    {
        for (int i = 0; i < page->tabs()->stack()->count(); ++i)
            if (auto* tab = qobject_cast<Tab*>(page->tabs()->stack()->widget(i)))
                return tab;
        return nullptr;
    }

    QTemporaryDir root;
    luttest::CubeDir files;
    QWidget host;
    D2Family* family = nullptr;
    QPointer<D2ProductCard> card;
};

TEST_F(SettingsOnSim, IllegalLevelsIsWrittenAtOnceAndCancelWritesItBack)
{
    auto state = stm32State(0xBE89);
    state->properties[keys::kHdmiClampEnable] = {1};
    attachStm32(state);
    D2SettingsPage* page = openPage(0xBE89);
    ASSERT_NE(page, nullptr);
    auto* setup = tabOf<ZanthicOstrelTab>(page);
    ASSERT_NE(setup, nullptr);
    QAbstractButton* illegal = setup->hdmiClipGroup()->button(0);
    ASSERT_EQ(illegal->text(), QStringLiteral("Illegal levels (0 - 255)"));
    EXPECT_TRUE(setup->hdmiClipGroup()->button(1)->isChecked());

    QTest::mouseClick(illegal, Qt::LeftButton, {}, QPoint(4, 12));
    EXPECT_EQ(state->properties[keys::kHdmiClampEnable], std::vector<std::uint8_t>{0});

    page->onCancelPressed();
    EXPECT_EQ(state->properties[keys::kHdmiClampEnable], std::vector<std::uint8_t>{1});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(card.isNull()) << "Cancel closes the card";
}

// The name saved is the one the device is shown by, in the gallery and when its card opens
// again: the identity read as it arrived is not what it answers any longer.
TEST_F(SettingsOnSim, ASavedNameIsTheOneTheCardShowsWhenItOpensAgain)
{
    auto state = stm32State(0xBE89);
    state->setText("DeviceName", "Studio A");
    attachStm32(state);
    D2SettingsPage* page = openPage(0xBE89);
    ASSERT_NE(page, nullptr);
    auto* setup = tabOf<ZanthicOstrelTab>(page);
    ASSERT_NE(setup, nullptr);
    EXPECT_EQ(setup->nameField()->text(), QStringLiteral("Studio A"));
    setup->nameField()->setText(QStringLiteral("Studio B"));
    page->onSavePressed();
    EXPECT_EQ(state->text("DeviceName"), "Studio B");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(card.isNull()) << "Save closes the card";

    ASSERT_EQ(family->visibleDevices().size(), 1);
    D2VisibleDevice* device = family->visibleDevices().front().get();
    EXPECT_EQ(device->displayName(), QStringLiteral("Studio B"));
    family->showDevice(device);
    const auto cards = host.findChildren<D2ProductCard*>();
    ASSERT_EQ(cards.size(), 1);
    card = cards.first();
    ASSERT_TRUE(waitFor([&] { return card && qobject_cast<D2SettingsPage*>(card->pages()->currentWidget()); }));
    setup = tabOf<ZanthicOstrelTab>(qobject_cast<D2SettingsPage*>(card->pages()->currentWidget()));
    ASSERT_NE(setup, nullptr);
    EXPECT_EQ(setup->nameField()->text(), QStringLiteral("Studio B"));
}

TEST_F(SettingsOnSim, ALutImportedInto0xBE89IsInTheDeviceAndTheTabShowsIt)
{
    auto state = stm32State(0xBE89);
    attachStm32(state);
    D2SettingsPage* page = openPage(0xBE89);
    ASSERT_NE(page, nullptr);
    auto* luts = tabOf<ZanthicConvertersLutsTab>(page);
    ASSERT_NE(luts, nullptr);
    const std::string text = luttest::identityCube(33);
    luts->importFile(files.write(QStringLiteral("grade.cube"), text));
    ASSERT_NE(luts->transferDialog(), nullptr) << "0xBE89 uploads on a thread";
    ASSERT_TRUE(waitFor([&] { return !luts->transferDialog()->isBusy(); }));
    QCoreApplication::processEvents();

    DeviceCube expected(33);
    ASSERT_EQ(DecodeCubeFile(text, expected), 0);
    EXPECT_EQ(state->properties[keys::kLutData], expected.bytes());
    EXPECT_EQ(state->text(keys::kLutName), "grade.cube");
    EXPECT_EQ(state->properties[keys::kLutSelection], std::vector<std::uint8_t>{0});
    EXPECT_EQ(luts->nameLabel()->text(), QStringLiteral("grade.cube"));
    EXPECT_TRUE(luts->selectionGroup()->button(0)->isChecked());
    EXPECT_TRUE(luts->deleteButton()->isEnabled());
}

TEST_F(SettingsOnSim, ALutImportedInto0xBE90IsInTheDeviceAndTheTabShowsIt)
{
    auto state = xmegaState(0xBE90);
    attachXmega(state);
    D2SettingsPage* page = openPage(0xBE90);
    ASSERT_NE(page, nullptr);
    auto* luts = tabOf<ZanthicConvertersLutsTab>(page);
    ASSERT_NE(luts, nullptr);
    const std::string text = "TITLE \"Skin\"\n" + luttest::identityCube(17);
    luts->importFile(files.write(QStringLiteral("skin.cube"), text));
    ASSERT_NE(luts->transferDialog(), nullptr) << "0xBE90 uploads on a thread";
    ASSERT_TRUE(waitFor([&] { return !luts->transferDialog()->isBusy(); }));
    QCoreApplication::processEvents();

    DeviceCube expected(xmegareg::kLutCubeSize);
    ASSERT_EQ(DecodeCubeFile(text, expected), 0);
    const std::vector<std::uint8_t>& eeprom = state->eeproms[xmegareg::kLutEepromTarget].bytes;
    const std::vector<std::uint8_t> stored(eeprom.begin() + xmegareg::kLutEepromAddress,
                                           eeprom.begin() + xmegareg::kLutEepromAddress + expected.bytes().size());
    EXPECT_EQ(stored, expected.bytes());
    EXPECT_EQ(state->readRegister(xmegareg::kLutSelection), 0);
    EXPECT_EQ(luts->nameLabel()->text(), QStringLiteral("Skin"));
    EXPECT_TRUE(luts->selectionGroup()->button(0)->isChecked());
}

// A name goes to the XMEGA as UTF-8 and comes back as it went in, through the Setup tab and
// after a replug; a name an older tool left in Latin-1 still reads.
TEST_F(SettingsOnSim, AnXmegaNameComesBackAsItWentInAfterAReplug)
{
    const QString e = QString::fromUtf8("\xC3\xA9");
    const struct {
        const char* name;
        QString typed;      // saved through the Setup tab
        QString sent;       // else given to the device as it is, past the tab's limit
        QByteArray stored;  // else already in the register
        QString shown;
    } cases[] = {
        {"ASCII", QStringLiteral("Studio 2"), {}, {}, QStringLiteral("Studio 2")},
        {"accented", QStringLiteral("R") + e + QStringLiteral("gie 2"), {}, {}, QStringLiteral("R") + e + QStringLiteral("gie 2")},
        {"three-byte characters", QString::fromUtf8("\xE6\x98\xA0\xE5\x83\x8F"), {}, {},
         QString::fromUtf8("\xE6\x98\xA0\xE5\x83\x8F")},
        {"the 64-byte cut inside a character", {}, QString(63, QLatin1Char('a')) + e, {}, QString(63, QLatin1Char('a'))},
        {"a Latin-1 byte", {}, {}, QByteArray("R\xE9gie 2"), QStringLiteral("R") + e + QStringLiteral("gie 2")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto state = xmegaState(0xBE90);
        for (int i = 0; i < c.stored.size(); ++i)
            state->writeRegister(xmegareg::kDeviceName + i, static_cast<std::uint8_t>(c.stored[i]));
        std::string path = attachXmega(state);
        D2SettingsPage* page = openPage(0xBE90);
        ASSERT_NE(page, nullptr);
        auto* setup = tabOf<ZanthicOstrelTab>(page);
        ASSERT_NE(setup, nullptr);
        if (!c.typed.isEmpty()) {
            setup->nameField()->setText(c.typed);
            page->onSavePressed();
        } else if (!c.sent.isEmpty()) {
            auto* visible = listed(0xBE90);
            ASSERT_NE(visible, nullptr);
            auto device = std::dynamic_pointer_cast<ZanthicConvertersConnectedDevice>(visible->connect());
            ASSERT_TRUE(device);
            device->setDeviceName(c.sent);
            EXPECT_EQ(visible->displayName(), c.shown) << "the name as the device keeps it";
            page->onCancelPressed();
        } else {
            EXPECT_EQ(setup->nameField()->text(), c.shown);
            page->onCancelPressed();
        }
        ASSERT_TRUE(waitFor([&] { return card.isNull(); }));

        ASSERT_TRUE(bus.detach(path));
        ASSERT_TRUE(waitFor([&] { return family->visibleDevices().isEmpty(); }));
        path = attachXmega(state);
        D2VisibleDevice* again = listed(0xBE90);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->displayName(), c.shown);
        page = showPage(again);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(tabOf<ZanthicOstrelTab>(page)->nameField()->text(), c.shown);
        page->onCancelPressed();
        ASSERT_TRUE(waitFor([&] { return card.isNull(); }));
        TearDown();
        bus.detach(path);
    }
}

// An upload that fails shows "LUT Transfer Failed", and the tab the name the device reports:
// here the old LUT's, as the new name never got in (STM32) or was never loaded (XMEGA).
TEST_F(SettingsOnSim, AFailedUploadSaysSoAndTheTabShowsTheDevicesName)
{
    for (const std::uint16_t productId : {0xBE89, 0xBE90}) {
        SCOPED_TRACE(productId);
        std::string path;
        if (productId == 0xBE89) {
            auto state = stm32State(productId);
            state->setText(keys::kLutName, "Old");
            path = attachStm32(state);
            platform::SimFault f; // the name's value write, after the table
            f.kind = platform::SimRequestKind::Control;
            f.bRequest = stm32::kSetValue;
            f.match = [](const platform::SimRequest& r) { return r.data == std::vector<std::uint8_t>{'N', 'e', 'w'}; };
            bus.addFault(f);
        } else {
            auto state = xmegaState(productId);
            for (std::uint32_t i = 0; i < 3; ++i)
                state->writeRegister(xmegareg::kLutName + i, static_cast<std::uint8_t>("Old"[i]));
            path = attachXmega(state);
            platform::SimFault f; // the load command, after the table and its name
            f.kind = platform::SimRequestKind::Control;
            f.bRequest = TWG::Converters::xmega::kWriteMemory;
            f.match = [](const platform::SimRequest& r) { return r.setup.wValue == xmegareg::kLutCommand; };
            bus.addFault(f);
        }
        D2SettingsPage* page = openPage(productId);
        ASSERT_NE(page, nullptr);
        auto* luts = tabOf<ZanthicConvertersLutsTab>(page);
        ASSERT_NE(luts, nullptr);
        ASSERT_EQ(luts->nameLabel()->text(), QStringLiteral("Old"));
        luts->importFile(files.write(QStringLiteral("new.cube"), "TITLE \"New\"\n" + luttest::identityCube(17)));
        ASSERT_NE(luts->transferDialog(), nullptr);
        ASSERT_TRUE(waitFor([&] { return luts->errorDialog() != nullptr; }));
        EXPECT_EQ(luts->errorDialog()->headingLabel()->text(), QStringLiteral("LUT Transfer Failed"));
        EXPECT_EQ(luts->nameLabel()->text(), QStringLiteral("Old"));
        EXPECT_TRUE(luts->transferDialog()->isHidden());
        page->onCancelPressed();
        ASSERT_TRUE(waitFor([&] { return card.isNull(); }));
        TearDown();
        bus.clearFaults();
        bus.detach(path);
    }
}

} // namespace
