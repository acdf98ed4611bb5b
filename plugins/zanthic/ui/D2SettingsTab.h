#pragma once

#include <QWidget>

namespace TWG {
namespace Zanthic {

// A tab of the Zanthic settings page. Each writes its settings as they change; the page asks it
// to write back what it saved (Cancel) or to send what is still pending (Save).
class D2SettingsTab : public QWidget {
    Q_OBJECT
public:
    explicit D2SettingsTab(QWidget* parent = nullptr) : QWidget(parent) {}

    virtual void revertSettings() = 0;
    virtual void applySettings() = 0;
};

} // namespace Zanthic
} // namespace TWG
