#pragma once

#include <QPushButton>

namespace TWG {
namespace Zanthic {

class D2SettingsPushButton : public QPushButton {
    Q_OBJECT
public:
    static constexpr int kWidth = 150;
    static constexpr int kPairWidth = 95;

    explicit D2SettingsPushButton(const QString& text, QWidget* parent = nullptr);
};

} // namespace Zanthic
} // namespace TWG
