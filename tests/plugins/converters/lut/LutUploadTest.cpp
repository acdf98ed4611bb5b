#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/settings/SettingsLabel.h"
#include "plugins/converters/lut/LutSampling.h"
#include "plugins/converters/settings/ConverterConnection.h"
#include "plugins/converters/settings/LutDialogs.h"
#include "plugins/converters/settings/VideoSettingsTab.h"
#include "tests/plugins/converters/lut/LutDialogAnswers.h"
#include "tests/plugins/converters/settings/SettingsFakeConverter.h"
#include "tests/support/CubeFiles.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

using luttest::CubeDir;
using luttest::DialogAnswers;
using luttest::identityCube;

constexpr std::uint16_t kLutModel = 0xBDF2;

// The fake, able to look at the tab while the upload runs.
class LutFake : public settingstest::SettingsFakeConverter {
public:
    using SettingsFakeConverter::SettingsFakeConverter;
    std::function<void()> duringLoad;
    bool loadLut(int index, const std::string& name, const std::vector<std::uint8_t>& data) override
    {
        if (duringLoad)
            duringLoad();
        return SettingsFakeConverter::loadLut(index, name, data);
    }
    bool loadCalled() const
    {
        return std::any_of(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("loadLut", 0) == 0; });
    }
};

std::uint32_t wordAt(const std::vector<std::uint8_t>& table, std::size_t n)
{
    return std::uint32_t(table[4 * n]) | std::uint32_t(table[4 * n + 1]) << 8 | std::uint32_t(table[4 * n + 2]) << 16
        | std::uint32_t(table[4 * n + 3]) << 24;
}

class LutTab : public ::testing::Test {
protected:
    void SetUp() override
    {
        device = new LutFake(kLutModel);
        connection = new ConverterConnection(nullptr, device);
    }
    void TearDown() override
    {
        delete tab.data();
        delete connection.data();
        device->release();
    }
    void open()
    {
        tab = new VideoSettingsTab(connection);
        tab->setLutDialogs(answers.dialogs());
        ASSERT_TRUE(tab->lutButton(0) && tab->lutButton(1));
    }

    CubeDir dir;
    LutFake* device = nullptr;
    QPointer<ConverterConnection> connection;
    QPointer<VideoSettingsTab> tab;
    DialogAnswers answers;
};

TEST_F(LutTab, LoadingSendsTheSampledTableUnderTheFileName)
{
    open();
    EXPECT_TRUE(tab->lutButton(1)->isEnabled());
    answers.path = dir.write(QStringLiteral("look.v2.cube"), identityCube(2));
    QString labelDuring;
    bool buttonDuring = true;
    device->duringLoad = [&] {
        labelDuring = tab->lutLabel(1)->text();
        buttonDuring = tab->lutButton(1)->isEnabled();
    };
    QSignalSpy status(tab.data(), &SettingsTab::settingsStatusChanged);
    tab->lutButton(1)->click();

    EXPECT_EQ(answers.captions, QStringList{QStringLiteral("Open LUT 2")});
    EXPECT_EQ(answers.filters, QStringList{QStringLiteral("Tavrin 3D LUT file (*.cube)")});
    EXPECT_EQ(answers.parents, std::vector<QWidget*>{tab.data()});
    EXPECT_EQ(labelDuring, QStringLiteral("Loading..."));
    EXPECT_FALSE(buttonDuring);
    ASSERT_EQ(device->luts.count(1), 1u);
    const std::vector<std::uint8_t>& table = device->luts[1];
    ASSERT_EQ(table.size(), 143748u);
    // Identity: the first component varies fastest and sits in the low bits.
    EXPECT_EQ(wordAt(table, 0), 0u);
    EXPECT_EQ(wordAt(table, 1), 32u);
    EXPECT_EQ(wordAt(table, 33), 32u << 10);
    EXPECT_EQ(wordAt(table, 33 * 33), 32u << 20);
    EXPECT_EQ(wordAt(table, 33 * 33 + 33 + 1), 32u << 20 | 32u << 10 | 32u);
    EXPECT_EQ(wordAt(table, 35936), 0x3FFFFFFFu) << "1024 is sent as 1023";
    EXPECT_EQ(device->lutNames[1], "look.v2");
    EXPECT_EQ(tab->lutLabel(1)->text(), QStringLiteral("look.v2"));
    EXPECT_TRUE(tab->lutButton(1)->isEnabled());
    EXPECT_TRUE(answers.boxes.empty());
    EXPECT_EQ(tab->settingsStatus(), SettingsStatus::Changed);
    EXPECT_EQ(status.count(), 0) << "converter tabs start changed";
}

TEST_F(LutTab, ACancelledFileDialogLoadsNothing)
{
    open();
    bool buttonDuring = true;
    answers.whileFileDialog = [&] { buttonDuring = tab->lutButton(0)->isEnabled(); };
    tab->lutButton(0)->click();
    EXPECT_EQ(answers.captions, QStringList{QStringLiteral("Open LUT 1")});
    EXPECT_FALSE(buttonDuring);
    EXPECT_TRUE(tab->lutButton(0)->isEnabled());
    EXPECT_FALSE(device->loadCalled());
    EXPECT_TRUE(answers.boxes.empty());
}

TEST_F(LutTab, ARefusedFileShowsTheBoxAndLoadsNothing)
{
    open();
    const QString label = tab->lutLabel(0)->text();
    for (const QString& name : {QStringLiteral("look.CUBE"), QStringLiteral("bad.cube")}) {
        SCOPED_TRACE(name.toStdString());
        answers.boxes.clear();
        answers.path = dir.write(name, identityCube(2) + "1 1 1\n");
        tab->lutButton(0)->click();
        ASSERT_EQ(answers.boxes.size(), 1u);
        EXPECT_EQ(answers.boxes[0].first, QStringLiteral("Loading LUT failed"));
        EXPECT_EQ(answers.boxes[0].second, QStringLiteral("The file %1 could not be loaded").arg(answers.path));
        EXPECT_TRUE(tab->lutButton(0)->isEnabled());
        EXPECT_EQ(tab->lutLabel(0)->text(), label);
    }
    EXPECT_FALSE(device->loadCalled());
}

TEST_F(LutTab, AFailedUploadSaysSoAndKeepsTheOldName)
{
    device->lutNames[0] = "Old look";
    device->failing.insert("loadLut");
    open();
    ASSERT_EQ(tab->lutLabel(0)->text(), QStringLiteral("Old look"));
    answers.path = dir.write(QStringLiteral("new.cube"), identityCube(2));
    QString labelDuringBox;
    answers.whileBox = [&] { labelDuringBox = tab->lutLabel(0)->text(); };
    tab->lutButton(0)->click();
    EXPECT_TRUE(device->loadCalled());
    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0].first, QStringLiteral("Loading LUT failed"));
    EXPECT_EQ(answers.boxes[0].second, QStringLiteral("The LUT could not be sent to the converter"));
    EXPECT_EQ(labelDuringBox, QStringLiteral("Old look"));
    EXPECT_EQ(tab->lutLabel(0)->text(), QStringLiteral("Old look"));
    EXPECT_TRUE(tab->lutButton(0)->isEnabled());
}

// A converter unplugged while a dialog is open deletes the tab and its connection; the slot
// then ends without touching either (the sanitizer build sees any use after free).
TEST_F(LutTab, UnpluggedWhileADialogIsOpen)
{
    struct Case {
        const char* name;
        bool refused;
        bool inBox;
        bool tabToo;
    };
    const Case cases[] = {
        {"tab and connection go during the file dialog", false, false, true},
        {"the connection goes during the file dialog", false, false, false},
        {"tab and connection go during the refusal box", true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!connection)
            connection = new ConverterConnection(nullptr, device);
        open();
        answers.path = dir.write(c.refused ? QStringLiteral("x.cube") : QStringLiteral("ok.cube"),
                                 c.refused ? std::string("0 0 0\n") : identityCube(2));
        const std::function<void()> unplug = [&] {
            if (c.tabToo)
                delete tab.data();
            delete connection.data();
        };
        answers.whileFileDialog = c.inBox ? std::function<void()>() : unplug;
        answers.whileBox = c.inBox ? unplug : std::function<void()>();
        QPointer<CardPushButton> button = tab->lutButton(0);
        emit button->clicked();
        EXPECT_FALSE(connection);
        EXPECT_EQ(bool(tab), !c.tabToo);
        EXPECT_FALSE(device->loadCalled());
        delete tab.data();
    }
}

// The real dialogs are made so that their parent may go while they run.
TEST(LutDialogs, TheModalDialogsSurviveTheirParent)
{
    const LutDialogs dialogs = LutDialogs::modal();
    {
        QPointer<QWidget> parent = new QWidget;
        QTimer::singleShot(0, parent.data(), [&] { delete parent.data(); });
        EXPECT_TRUE(dialogs.openFile(parent, QStringLiteral("Open LUT 1"), QStringLiteral("(*.cube)")).isEmpty());
        EXPECT_FALSE(parent);
    }
    {
        QPointer<QWidget> parent = new QWidget;
        QTimer::singleShot(0, parent.data(), [&] { delete parent.data(); });
        dialogs.critical(parent, QStringLiteral("Loading LUT failed"), QStringLiteral("text"));
        EXPECT_FALSE(parent);
    }
}

TEST(LutDialogs, TheFileDialogAnswersTheChosenFile)
{
    CubeDir dir;
    const QString path = dir.write(QStringLiteral("chosen.cube"), identityCube(2));
    QWidget parent;
    QString caption;
    QTimer::singleShot(0, &parent, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        caption = dialog->windowTitle();
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(LutDialogs::modal().openFile(&parent, QStringLiteral("Open LUT 2"), QStringLiteral("Tavrin 3D LUT file (*.cube)")),
              path);
    EXPECT_EQ(caption, QStringLiteral("Open LUT 2"));
}

} // namespace
