#pragma once

#include <QLabel>

namespace TWG {
namespace Zanthic {

// A read-only value of a row; with elision on it draws a text too wide for it cut on the right
// while it has no focus (with the focus, the whole text can be selected).
class D2SettingsLabel : public QLabel {
    Q_OBJECT
public:
    explicit D2SettingsLabel(const QString& text, QWidget* parent = nullptr);

    void setElided(bool on);
    bool isElided() const { return elide_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool elide_ = false;
};

} // namespace Zanthic
} // namespace TWG
