#pragma once

#include <QCheckBox>

namespace TWG {
namespace Zanthic {

class D2SettingsCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit D2SettingsCheckBox(const QString& text, QWidget* parent = nullptr);
};

} // namespace Zanthic
} // namespace TWG
