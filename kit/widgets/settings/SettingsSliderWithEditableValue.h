#pragma once

#include "kit/widgets/settings/SettingsSliderLineEdit.h"

#include <QFrame>

class FlatImageButton;
class QAbstractSlider;
class QDoubleValidator;
class SettingsSlider;
class SettingsSliderLabel;

// A slider with an editable decimal value beside it, an optional units label and an optional
// button that restores a default. The slider works in integer steps of 10^-decimals.
class SettingsSliderWithEditableValue : public QFrame {
    Q_OBJECT
public:
    // The value field (moc cannot read nested QObject classes, so it lives beside us).
    using SettingsSliderLineEdit = ::SettingsSliderLineEdit;

    explicit SettingsSliderWithEditableValue(QWidget* parent = nullptr);

    void setDecimals(int decimals);
    void setMinimum(double minimum);
    void setMaximum(double maximum);
    void setUnits(const QString& text);
    void setDefaultEnabled(bool enabled);
    void setDefaultValue(double value);
    // Clamped to the range; emits both valueChanged signals.
    void setValue(double value);
    // Moves by delta; false, with overshoot set to how far past the limit it would have gone,
    // when the value was stopped at a limit.
    bool shiftBy(double delta, double& overshoot);

    // Emits both valueChanged signals with the value shown now.
    void announceValue();

    double currentValue() const;
    double minimum() const { return minimum_; }
    double maximum() const { return maximum_; }
    int decimals() const { return decimals_; }
    double previousValue() const { return previous_; }
    double defaultValue() const { return defaultValue_; }

    SettingsSlider* slider() const { return slider_; }
    SettingsSliderLineEdit* editor() const { return editor_; }
    QDoubleValidator* validator() const { return validator_; }
    SettingsSliderLabel* unitsLabel() const { return unitsLabel_; }
    FlatImageButton* defaultButton() const { return defaultButton_; }
    QFrame* unitsFrame() const { return unitsFrame_; }
    QFrame* defaultFrame() const { return defaultFrame_; }

signals:
    void valueChanged(double value);
    void valueChanged();
    void actionTriggered(int action);

public slots:
    void onSliderValueChanged(int steps);
    void onEditableValueChanged();
    void onDefaultClicked();

private:
    // The value before this change becomes previousValue; the new one is remembered as the
    // last committed value.
    void recordChange(double value);
    void showValue(double value);
    void announce(double value);
    int lowestStep() const;
    int highestStep() const;

    SettingsSlider* slider_ = nullptr;
    SettingsSliderLineEdit* editor_ = nullptr;
    QDoubleValidator* validator_ = nullptr;
    SettingsSliderLabel* unitsLabel_ = nullptr;
    FlatImageButton* defaultButton_ = nullptr;
    double minimum_ = 0.0;
    double maximum_ = 100.0;
    int decimals_ = 2;
    double previous_ = 0.0;
    bool hasPrevious_ = false;
    bool defaultEnabled_ = false;
    double defaultValue_ = 0.0;
    QFrame* unitsFrame_ = nullptr;
    QFrame* defaultFrame_ = nullptr;
    // The value last applied; the editor may already hold newer typed text.
    double committed_ = 0.0;
};
