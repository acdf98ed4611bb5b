#pragma once

#include <QLabel>

// The text of a settings row; optionally elided on the right when it does not fit.
class SettingsLabel : public QLabel {
    Q_OBJECT
public:
    SettingsLabel(const QString& text, QWidget* parent);

    void setElided(int on);
    int isElided() const { return elide_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int elide_ = 0;
};
