#include "ColumnDump.h"

#include "kit/widgets/settings/SettingsSliderWithEditableValue.h"
#include "kit/widgets/settings/SliderLink.h"
#include "tests/plugins/scripted/demo/DemoSettingsTab.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QTest>

namespace {

// The demonstration tab builds every row kind without leaving the tab changed or invalid.
TEST(DemoSettingsTab, BuildsEveryKindOfRow)
{
    DemoSettingsTab tab(nullptr);
    tab.resize(620, 500);
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    EXPECT_EQ(tab.settingsStatus(), SettingsStatus::Unchanged);
    EXPECT_EQ(tab.sections().size(), 4);
    const QString dump = columnDump(tab);
    for (const char* token : {"break", "light", "row62", "row38", "row63", "row24", "s36"})
        EXPECT_TRUE(dump.contains(QLatin1String(token))) << token << " in " << dump.toStdString();
    int id = -1;
    EXPECT_TRUE(tab.downconversion().checkedId(id));
    EXPECT_EQ(id, 3);
    EXPECT_TRUE(tab.outputMode().checkedId(id));
    EXPECT_EQ(id, 1);
    ASSERT_NE(tab.gainLink(), nullptr);
    EXPECT_TRUE(tab.gainLink()->isVisible());
}

} // namespace
