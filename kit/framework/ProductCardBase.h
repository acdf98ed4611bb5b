#pragma once

#include <QFrame>

// The overlay a product card lives in: it covers its window with a dimmed background and keeps
// a 620-pixel body centred in it, following the window's size. Closing it destroys it.
class ProductCardBase : public QFrame {
    Q_OBJECT
public:
    static constexpr int kBodyWidth = 620;
    static constexpr int kBodyMargin = 20;

    // The card goes on the top-level window of the given widget.
    explicit ProductCardBase(QWidget* hostWidget);

    QWidget* body() const { return body_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitToWindow();

    QWidget* body_;
};
