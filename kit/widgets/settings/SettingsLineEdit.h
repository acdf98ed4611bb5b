#pragma once

#include <QLineEdit>

class QLabel;

// The line edit of a settings row: a rounded field with the accent colour as focus border and a
// status icon that shows whether the input is acceptable.
class SettingsLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit SettingsLineEdit(QWidget* parent);

    // kind: 0 none, 1 OK, 2 alert; always none while show-status is off.
    void setStatusIcon(int kind);
    void setShowStatus(bool show);
    bool showsStatus() const { return showStatus_; }
    QLabel* statusIconLabel() const { return statusIcon_; }

public slots:
    void updateStatusIcon();
    void onReturnPressed();

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showIcon(const QString& resourceName);

    QLabel* statusIcon_ = nullptr;
    bool showStatus_ = true;
};
