#pragma once

#include <QWidget>

// One half of the bracket that joins two linked slider rows.
class LinkBar : public QWidget {
    Q_OBJECT
public:
    enum Position { Upper = 0, Lower = 1 };

    LinkBar(int position, QWidget* parent);

    int position() const { return position_; }
    bool isLinked() const { return linked_; }
    void setLinked(bool linked) { linked_ = linked; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int position_;
    bool linked_ = false;
};
