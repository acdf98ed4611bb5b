#pragma once

#include "kit/framework/SettingsTab.h"
#include "plugins/converters/settings/GainLabels.h"

class ConverterConnection;

namespace TWG {
namespace Converters {
class IConverter;
}
} // namespace TWG

// A tab of a converter's settings page. Its controls write to the device as they change;
// revertChanges writes back what the user changed, as it was read when the tab was built.
class ConverterSettingsTab : public SettingsTab {
    Q_OBJECT
public:
    explicit ConverterSettingsTab(ConverterConnection* owner, QWidget* parent = nullptr);

    virtual void commitChanges() = 0;
    virtual void revertChanges() = 0;
    // Both return the row added: a GainSliderPairRow and a GainSlider.
    virtual QWidget* addGainPairRow(const QString& upperCaption, const QString& lowerCaption,
                                    GainLabelFormatter formatter);
    virtual QWidget* addGainRow(const QString& caption, GainLabelFormatter formatter);

    ConverterConnection* owner() const { return owner_; }

protected:
    TWG::Converters::IConverter* device() const;

private:
    ConverterConnection* owner_;
};
