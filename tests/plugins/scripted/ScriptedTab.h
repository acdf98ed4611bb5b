#pragma once

#include "kit/framework/SettingsTab.h"

#include <QStringList>

// A plain tab of check boxes under one titled section; a click marks the tab changed.
class ScriptedTab : public SettingsTab {
    Q_OBJECT
public:
    ScriptedTab(const QString& section, const QStringList& captions, const QStringList& options,
                QWidget* parent = nullptr);
};
