#pragma once

#include <QColor>
#include <QFrame>

class FlatImageButton;
class QLabel;

// One picture choice of an image-option group: a checkable picture with an optional caption
// under it. The inner picture button is what joins the group.
class ImageGroupButton : public QFrame {
    Q_OBJECT
public:
    ImageGroupButton(const QPixmap& image, const QString& text, int flat, QWidget* parent);
    ImageGroupButton(const QPixmap& image, int flat, QWidget* parent);

    FlatImageButton* imageButton() const { return button_; }
    QLabel* label() const { return label_; }

public slots:
    void onToggled(bool checked);

private:
    void build(const QPixmap& image, const QString& text);
    void applyLook(bool checked);

    FlatImageButton* button_ = nullptr;
    QLabel* label_ = nullptr;
    QColor checkedColour_;
    QColor uncheckedColour_;
    QColor disabledColour_;
    int flat_ = 0;
};
