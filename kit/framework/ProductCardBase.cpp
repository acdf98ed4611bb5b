#include "kit/framework/ProductCardBase.h"

#include "kit/widgets/StyleHelpers.h"

#include <QEvent>

namespace {
constexpr int kDimAlpha = 150;
constexpr int kDisabledTextAlpha = 100;
const char* const kCardStyle =
    "QWidget { background: white; }"
    "#productCardBackground { background: %1; }"
    "#productCardBody { border-width: 10; border-radius: 10; }"
    "#productCardBottom { border-width: 10; border-bottom-left-radius: 10; border-bottom-right-radius: 10; }"
    "QMenu:item { background-color: white; color: %2; }"
    "QMenu:item:disabled { color: %3; }"
    "QMenu:item:selected { background-color: %4; }";
} // namespace

ProductCardBase::ProductCardBase(QWidget* hostWidget)
    : QFrame(hostWidget ? hostWidget->window() : nullptr), body_(new QWidget(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("productCardBackground"));
    setStyleSheet(QString::fromLatin1(kCardStyle)
                      .arg(colourToRgba(kitColourDim(), kDimAlpha), colourToHex(Qt::black),
                           colourToRgba(Qt::black, kDisabledTextAlpha), colourToHex(kitColourBorder())));
    body_->setObjectName(QStringLiteral("productCardBody"));
    if (parentWidget())
        parentWidget()->installEventFilter(this);
    fitToWindow();
}

bool ProductCardBase::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        fitToWindow();
    return QFrame::eventFilter(watched, event);
}

void ProductCardBase::fitToWindow()
{
    QWidget* window = parentWidget();
    if (!window)
        return;
    const QSize size = window->size();
    setGeometry(0, 0, size.width(), size.height());
    body_->setFixedSize(kBodyWidth, size.height() - 2 * kBodyMargin);
    body_->move((size.width() - kBodyWidth) / 2, kBodyMargin);
}
