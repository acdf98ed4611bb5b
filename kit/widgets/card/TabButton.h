#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <QRect>

// One tab of the settings page's tab strip.
class TabButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int kHeight = 36;

    explicit TabButton(const QString& title, QWidget* parent = nullptr);

    QString title() const { return title_; }
    QRect textRect() const { return textRect_; }

    // Marks a tab that was left with an invalid value.
    void setAlert(bool alert) { alert_ = alert; }
    bool hasAlert() const { return alert_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_;
    QRect textRect_;
    QPixmap alertPixmap_;
    bool alert_ = false;
};
