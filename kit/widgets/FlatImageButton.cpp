#include "kit/widgets/FlatImageButton.h"

#include "kit/widgets/StyleHelpers.h"

#include <QEvent>
#include <QPainter>

FlatImageButton::FlatImageButton(const QPixmap& pixmap, QWidget* parent)
    : QAbstractButton(parent), normal_(pixmap)
{
    fitToPixmap();
}

FlatImageButton::FlatImageButton(const QString& resourceName, QWidget* parent)
    : FlatImageButton(loadIconPixmap(resourceName), parent)
{
}

void FlatImageButton::fitToPixmap()
{
    const qreal ratio = normal_.devicePixelRatio();
    setFixedSize(qRound(normal_.width() / ratio), qRound(normal_.height() / ratio));
}

void FlatImageButton::setPixmap(const QPixmap& pixmap)
{
    normal_ = pixmap;
    fitToPixmap();
    update();
}

void FlatImageButton::setDisabledPixmap(const QPixmap& pixmap)
{
    disabled_ = pixmap;
    update();
}

void FlatImageButton::setDisabledImage(const QString& resourceName)
{
    setDisabledPixmap(loadIconPixmap(resourceName));
}

void FlatImageButton::setHoverPixmap(const QPixmap& pixmap)
{
    hover_ = pixmap;
    update();
}

void FlatImageButton::setHoverImage(const QString& resourceName)
{
    setHoverPixmap(loadIconPixmap(resourceName));
}

void FlatImageButton::setPressedImage(const QString& resourceName)
{
    pressed_ = loadIconPixmap(resourceName);
    update();
}

void FlatImageButton::setCheckedPixmap(const QPixmap& pixmap)
{
    checked_ = pixmap;
    update();
}

void FlatImageButton::setCheckedImage(const QString& resourceName)
{
    setCheckedPixmap(loadIconPixmap(resourceName));
}

const QPixmap& FlatImageButton::currentPixmap() const
{
    if (!isEnabled())
        return disabled_.isNull() ? normal_ : disabled_;
    const bool hovering = underMouse() && !hoverSuppressed_;
    if (isDown() && !pressed_.isNull())
        return pressed_;
    if (hovering && !hover_.isNull())
        return hover_;
    if (isChecked() && !checked_.isNull())
        return checked_;
    return normal_;
}

QSize FlatImageButton::sizeHint() const
{
    return minimumSize();
}

bool FlatImageButton::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate)
        hoverSuppressed_ = true;
    return QAbstractButton::event(event);
}

void FlatImageButton::enterEvent(QEvent* event)
{
    hoverSuppressed_ = false;
    if (!hover_.isNull())
        update();
    QAbstractButton::enterEvent(event);
}

void FlatImageButton::leaveEvent(QEvent* event)
{
    hoverSuppressed_ = false;
    if (!hover_.isNull())
        update();
    QAbstractButton::leaveEvent(event);
}

void FlatImageButton::paintEvent(QPaintEvent*)
{
    const QPixmap& pixmap = currentPixmap();
    if (pixmap.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, pixmap);
}
