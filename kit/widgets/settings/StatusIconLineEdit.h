#pragma once

#include <QLineEdit>

class QLabel;

// A settings field with a 17 x 17 status icon inside it (none, OK or alert) and a show-status
// flag that keeps the icon hidden; Return moves on to the next field. Each product line places
// the icon and styles the field its own way.
class StatusIconLineEdit : public QLineEdit {
    Q_OBJECT
public:
    enum StatusIcon { NoIcon = 0, OkIcon = 1, AlertIcon = 2 };

    bool showsStatus() const { return showStatus_; }
    QLabel* statusIconLabel() const { return statusIcon_; }

public slots:
    // Runs on every text change.
    virtual void updateStatusIcon() = 0;
    void onReturnPressed();

protected:
    explicit StatusIconLineEdit(QWidget* parent);

    // Shows the icon of kind with its left edge at x, vertically centred; NoIcon hides it.
    void showStatusIcon(int kind, int x);

    bool showStatus_ = true;

private:
    QLabel* statusIcon_;
};
