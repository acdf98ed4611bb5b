#include "tests/plugins/scripted/ScriptedSettingsPage.h"

#include "tests/plugins/scripted/ScriptedLog.h"
#include "tests/plugins/scripted/ScriptedTab.h"

#ifdef TWG_SCRIPTED_DEMO_TAB
#include "tests/plugins/scripted/demo/DemoSettingsTab.h"
#endif

ScriptedSettingsPage::ScriptedSettingsPage(QWidget* parent) : SettingsPage(parent)
{
    setFooterWidgetVisible(false);
    addTab(new ScriptedTab(tr("Video"), {tr("Output:"), tr("Levels:"), QString()},
                           {tr("Clip signal to legal levels"), tr("Level A"), tr("Level B")}),
           tr("Video"));
    addTab(new ScriptedTab(tr("Audio"), {tr("Embedding:"), QString()},
                           {tr("Embed analog audio"), tr("Mute channels 3 and 4")}),
           tr("Audio"));
    // Demonstration tab of the settings controls: built in when demo/DemoSettingsTab.h exists.
#ifdef TWG_SCRIPTED_DEMO_TAB
    demoTab_ = addTab(new DemoSettingsTab(nullptr), tr("Demo"));
#endif
}

void ScriptedSettingsPage::commitChanges()
{
    qCInfo(lcScripted) << "Settings saved";
}

void ScriptedSettingsPage::revertChanges()
{
    qCInfo(lcScripted) << "Settings reverted";
}
