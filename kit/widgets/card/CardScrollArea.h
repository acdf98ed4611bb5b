#pragma once

#include <QScrollArea>

class QScrollBar;

// A frameless scroll area whose only visible bar is a thin overlay drawn over the content.
class CardScrollArea : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int kOverlayWidth = 7;
    static constexpr int kOverlayRightInset = 11;

    explicit CardScrollArea(QWidget* parent = nullptr);

    QScrollBar* overlayScrollBar() const { return overlay_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void syncOverlay();

    QScrollBar* overlay_;
};
