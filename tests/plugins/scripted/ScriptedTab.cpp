#include "tests/plugins/scripted/ScriptedTab.h"

ScriptedTab::ScriptedTab(const QString& section, const QStringList& captions, const QStringList& options,
                         QWidget* parent)
    : SettingsTab(parent)
{
    addSection(section);
    for (int i = 0; i < options.size(); ++i)
        addCheckBoxRow(captions.value(i), options.at(i));
    finishLayout();
}
