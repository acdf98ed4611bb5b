#pragma once

#include "kit/widgets/settings/SliderLinkBase.h"

#include <QPointer>

class SettingsSliderWithEditableValue;

// Couples two editable sliders: while linked, moving one moves the other, and the bracket
// follows the two rows wherever the column puts them.
class SliderLink : public SliderLinkBase {
    Q_OBJECT
public:
    enum LinkMode { SameValue = 0, SameChange = 1, Proportional = 2 };

    SliderLink(SettingsSliderWithEditableValue* first, SettingsSliderWithEditableValue* second,
               int mode, QWidget* parent);

    int mode() const { return mode_; }
    void updateLinkGeometry();

public slots:
    virtual void onSliderAValueChanged(double value);
    virtual void onSliderBValueChanged(double value);
    virtual void onSliderLinkChanged(bool linked);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Places now and again once the column has laid its rows out.
    void schedulePlacement();
    bool bothShown() const;
    // Sets the leading slider back to a value its partner could follow.
    void pullBack(SettingsSliderWithEditableValue* source, double value);
    void follow(SettingsSliderWithEditableValue* target, SettingsSliderWithEditableValue* source,
                double targetRef, double sourceRef, double value);

    // Identities of the watched widgets, compared without touching a widget that may be in
    // the middle of its destruction.
    const QObject* aObject_ = nullptr;
    const QObject* bObject_ = nullptr;
    const QObject* aParent_ = nullptr;
    const QObject* bParent_ = nullptr;
    QPointer<SettingsSliderWithEditableValue> a_;
    QPointer<SettingsSliderWithEditableValue> b_;
    double refA_ = 0.0;
    double refB_ = 0.0;
    int mode_ = SameValue;
    // Set while the link itself moves a slider, so that slider's signals start no follow back.
    bool following_ = false;
    bool placementQueued_ = false;
};
