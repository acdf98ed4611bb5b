#pragma once

#include <QRadioButton>

namespace TWG {
namespace Zanthic {

class D2SettingsRadioButton : public QRadioButton {
    Q_OBJECT
public:
    explicit D2SettingsRadioButton(const QString& text, QWidget* parent = nullptr);
};

} // namespace Zanthic
} // namespace TWG
