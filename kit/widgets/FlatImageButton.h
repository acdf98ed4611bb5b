#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <QVariant>

// A button drawn only from images; its fixed size follows the normal pixmap.
class FlatImageButton : public QAbstractButton {
    Q_OBJECT
public:
    FlatImageButton(const QPixmap& pixmap, QWidget* parent);
    FlatImageButton(const QString& resourceName, QWidget* parent);

    void setPixmap(const QPixmap& pixmap);
    void setDisabledPixmap(const QPixmap& pixmap);
    void setDisabledImage(const QString& resourceName);
    void setHoverPixmap(const QPixmap& pixmap);
    void setHoverImage(const QString& resourceName);
    void setPressedImage(const QString& resourceName);
    void setCheckedPixmap(const QPixmap& pixmap);
    void setCheckedImage(const QString& resourceName);

    const QPixmap& pixmap() const { return normal_; }
    const QPixmap& hoverPixmap() const { return hover_; }

    // For the owner's use.
    QVariant data() const { return data_; }
    void setData(const QVariant& data) { data_ = data; }

    // The pixmap a paint would draw now (null when there is none).
    const QPixmap& currentPixmap() const;

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void fitToPixmap();

    QPixmap normal_;
    QPixmap disabled_;
    QPixmap hover_;
    QPixmap pressed_;
    QPixmap checked_;
    QVariant data_;
    // A window (de)activation leaves underMouse() stale until the pointer moves again.
    bool hoverSuppressed_ = false;
};
