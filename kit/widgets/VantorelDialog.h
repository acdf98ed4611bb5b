#pragma once

#include <QFrame>
#include <QPointer>

// An in-window dialog: a dimmed overlay over the whole window with a white, rounded panel kept
// in its middle. Whatever widget it is built on (a card, a tab), it covers that widget's
// window, follows the window's size, and is destroyed with the widget it was given.
class VantorelDialog : public QFrame {
    Q_OBJECT
public:
    explicit VantorelDialog(QWidget* parent);
    ~VantorelDialog() override;

    QFrame* panel() const { return panel_; }

    void setVisible(bool visible) override;

public slots:
    bool eventFilter(QObject* obj, QEvent* event) override;

protected:
    // Covers the window and centres the panel; runs whenever the panel's size changes.
    void centrePanel();

private:
    // The given widget may have moved into another window since construction.
    void adoptWindow();

    QPointer<QWidget> anchor_;
    QPointer<QWidget> window_;
    QFrame* panel_;
};
