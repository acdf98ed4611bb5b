#pragma once

#include <QFrame>
#include <QPixmap>

class FlatImageButton;
class LinkBar;

// The visible part of a slider link: a bracket of two bars with a chain-link toggle between
// them.
class SliderLinkBase : public QFrame {
    Q_OBJECT
public:
    explicit SliderLinkBase(QWidget* parent);

    bool isLinked() const { return linked_; }
    void setLinked(bool linked);
    // Sizes the bracket for two rows whose slider centres are distance pixels apart.
    void fitHeight(int distance);

    FlatImageButton* linkButton() const { return button_; }
    LinkBar* upperBar() const { return upper_; }
    LinkBar* lowerBar() const { return lower_; }
    int linkImageHeight() const;

    virtual void applyLinkState(bool linked);

signals:
    void onSliderLinkClicked(bool linked);

public slots:
    void onLinkButtonClicked(bool checked);

private:
    FlatImageButton* button_ = nullptr;
    LinkBar* upper_ = nullptr;
    LinkBar* lower_ = nullptr;
    QPixmap link_;
    QPixmap unlink_;
    QPixmap linkDisabled_;
    QPixmap unlinkDisabled_;
    bool linked_ = false;
};
