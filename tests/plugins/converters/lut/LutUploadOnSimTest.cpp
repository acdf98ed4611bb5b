#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/settings/SettingsLabel.h"
#include "plugins/converters/lut/LutSampling.h"
#include "plugins/converters/lut/TavrinLUT.h"
#include "plugins/converters/settings/ConverterConnection.h"
#include "plugins/converters/settings/VideoSettingsTab.h"
#include "tests/converters/support/ConverterSimFixture.h"
#include "tests/plugins/converters/lut/LutDialogAnswers.h"
#include "tests/support/CubeFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

using luttest::CubeDir;
using luttest::DialogAnswers;

constexpr std::size_t kSlot[2] = {0x380000, 0x3B0000};
constexpr std::size_t kNameField = 40;

// A cube that swaps the first and third components, so the table is not its own mirror image.
std::string swapCube()
{
    std::string text = "LUT_3D_SIZE 2\n";
    for (int b = 0; b < 2; ++b)
        for (int g = 0; g < 2; ++g)
            for (int r = 0; r < 2; ++r)
                text += std::to_string(b) + " " + std::to_string(g) + " " + std::to_string(r) + "\n";
    return text;
}

// The Video tab of a simulated XMEGA converter with LUTs, its dialogs answered by the test.
class LutOnSim : public convtest::ConverterSimFixture {
protected:
    void SetUp() override
    {
        state = attachXmega(0xBDF2);
        start();
        ASSERT_TRUE(only());
        connection = std::make_unique<ConverterConnection>(nullptr, only());
        tab = std::make_unique<VideoSettingsTab>(connection.get());
        tab->setLutDialogs(answers.dialogs());
        ASSERT_TRUE(tab->lutButton(0) && tab->lutButton(1));
    }
    void TearDown() override
    {
        tab.reset();
        connection.reset();
        EXPECT_TRUE(state->violations.empty());
    }

    std::string slotName(int index) const
    {
        const auto& eeprom = state->eeproms[0].bytes;
        const auto begin = eeprom.begin() + std::ptrdiff_t(kSlot[index]);
        return std::string(begin, std::find(begin, begin + kNameField, 0));
    }

    CubeDir dir;
    DialogAnswers answers;
    std::shared_ptr<platform::SimXmegaState> state;
    std::unique_ptr<ConverterConnection> connection;
    std::unique_ptr<VideoSettingsTab> tab;
};

TEST_F(LutOnSim, TheFileLandsInTheSlotAndTheLabelShowsTheNameReadBack)
{
    const QString name = QStringLiteral("A warm look for the evening news, take 12");
    answers.path = dir.write(name + QStringLiteral(".cube"), swapCube());
    tab->lutButton(1)->click();
    EXPECT_TRUE(answers.boxes.empty());

    TavrinLUT lut;
    ASSERT_TRUE(lut.load(answers.path));
    const std::vector<std::uint8_t> expected = lutgrid::sampleTable(lut);
    const auto& eeprom = state->eeproms[0].bytes;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), eeprom.begin() + std::ptrdiff_t(kSlot[1] + kNameField)));
    const std::string kept = name.toStdString().substr(0, 38); // what the converter keeps of a long name
    EXPECT_EQ(slotName(1), kept);
    EXPECT_EQ(tab->lutLabel(1)->text().toStdString(), kept);
    EXPECT_TRUE(tab->lutButton(1)->isEnabled());
}

TEST_F(LutOnSim, AnUploadTheConverterRefusesIsReportedAndTheOldNameStays)
{
    answers.path = dir.write(QStringLiteral("Warm.cube"), swapCube());
    tab->lutButton(0)->click();
    ASSERT_EQ(tab->lutLabel(0)->text(), QStringLiteral("Warm"));

    platform::SimFault stall;
    stall.kind = platform::SimRequestKind::Out;
    stall.nth = 3;
    bus.addFault(stall);
    answers.path = dir.write(QStringLiteral("Cold.cube"), swapCube());
    tab->lutButton(0)->click();
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0].second, QStringLiteral("The LUT could not be sent to the converter"));
    EXPECT_EQ(tab->lutLabel(0)->text(), QStringLiteral("Warm"));
    EXPECT_TRUE(tab->lutButton(0)->isEnabled());
}

} // namespace
