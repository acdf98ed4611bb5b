#pragma once

#include "kit/widgets/settings/StatusIconLineEdit.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

class QValidator;

namespace TWG {
namespace Zanthic {

// The controls of the Zanthic settings tabs: the kit's settings font, with their own geometry
// and style sheets (not the kit's settings controls).

class D2SettingsCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit D2SettingsCheckBox(const QString& text, QWidget* parent = nullptr);
};

class D2SettingsRadioButton : public QRadioButton {
    Q_OBJECT
public:
    explicit D2SettingsRadioButton(const QString& text, QWidget* parent = nullptr);
};

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

class D2SettingsPushButton : public QPushButton {
    Q_OBJECT
public:
    static constexpr int kWidth = 150;
    static constexpr int kPairWidth = 95;

    explicit D2SettingsPushButton(const QString& text, QWidget* parent = nullptr);
};

// The plug-in's port validator, 1 to 65535 (the kit's shared one is the registered range).
QValidator* sharedD2PortValidator();

} // namespace Zanthic
} // namespace TWG
