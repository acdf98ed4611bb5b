#pragma once

#include "kit/widgets/settings/StatusIconLineEdit.h"

class QValidator;

namespace TWG {
namespace Zanthic {

// A field with a status icon at its right end: OK while a focused field holds acceptable input,
// alert while the input is not acceptable, none otherwise (or when status is not shown).
class D2SettingsLineEdit : public StatusIconLineEdit {
    Q_OBJECT
public:
    enum Status { NoStatus = NoIcon, StatusOk = OkIcon, StatusAlert = AlertIcon };
    // Validator kinds: the kit's non-empty and IP-address validators, a port of 1 to 65535.
    enum ValidatorKind { NonEmpty = 0, IpAddress = 1, Port = 2, NoValidator = 3 };

    explicit D2SettingsLineEdit(QWidget* parent = nullptr);

    void setValidatorKind(int kind);
    void setShowStatus(bool show);
    int status() const { return status_; }

public slots:
    void updateStatusIcon() override;

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setStatus(int status);
    void refreshStatus();

    int status_ = NoStatus;
};

// The plug-in's port validator, 1 to 65535 (the kit's shared one is the registered range).
QValidator* sharedD2PortValidator();

} // namespace Zanthic
} // namespace TWG
