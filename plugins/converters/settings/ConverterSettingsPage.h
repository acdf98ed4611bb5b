#pragma once

#include "kit/framework/SettingsPage.h"

#include <QList>

class ConverterConnection;
class ConverterSettingsTab;

// A converter's settings: the tabs its capabilities allow, then About. Controls write as they
// change, so Save only closes and Cancel writes back what was changed before it closes.
class ConverterSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    explicit ConverterSettingsPage(ConverterConnection* owner, QWidget* parent = nullptr);

    const QList<ConverterSettingsTab*>& settingsTabs() const { return tabList_; }
    ConverterConnection* connection() const { return owner_; }

public slots:
    void onSavePressed() override;
    void onCancelPressed() override;
    void onAllChangesSent();

protected:
    void commitChanges() override;
    void revertChanges() override;

private:
    void addConverterTab(ConverterSettingsTab* tab, const QString& title);
    void closeWhenSent();

    ConverterConnection* owner_;
    QList<ConverterSettingsTab*> tabList_;
};
