#pragma once

#include <QDir>

class QWidget;

namespace TWG {
namespace Zanthic {

class D2Family;

// What the plug-in's initialisation does: the firmware folder from the plug-in's "Resources"
// (left unset without one), the family with its build details and its USB manager, and the
// settings page builder. The family's parent is the host window.
D2Family* setUpZanthicFamily(QDir pluginDir, QWidget* hostWindow);

} // namespace Zanthic
} // namespace TWG
