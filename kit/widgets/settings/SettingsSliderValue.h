#pragma once

#include "kit/widgets/settings/SettingsSliderLabel.h"

#include <QPointer>

class QAbstractSlider;

// A slider label that follows the slider's value through a "%1" format.
class SettingsSliderValue : public SettingsSliderLabel {
    Q_OBJECT
public:
    explicit SettingsSliderValue(QWidget* parent);

    void setSlider(QAbstractSlider* slider, const QString& format);

public slots:
    void onValueChanged(int value);

private:
    QString format_ = QStringLiteral("%1");
    QPointer<QAbstractSlider> slider_;
    int decimals_ = 0;
    float divisor_ = 1.0f;
};
