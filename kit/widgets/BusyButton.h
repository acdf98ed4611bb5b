#pragma once

#include "kit/widgets/FlatImageButton.h"

#include <QTimer>

// A 12-frame spinner; pointing at it shows a close mark, whose click the owner connects.
class BusyButton : public FlatImageButton {
    Q_OBJECT
public:
    explicit BusyButton(QWidget* parent);

    void setBusy(bool busy);
    bool isBusy() const { return busy_; }
    bool isSpinning() const { return timer_.isActive(); }
    int frame() const { return counter_; }

public slots:
    void updatePixmap();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer timer_;
    int counter_ = 0;
    bool busy_ = false;
};
