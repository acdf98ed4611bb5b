#include "kit/widgets/VantorelDialog.h"

#include "kit/widgets/StyleHelpers.h"

#include <QEvent>

namespace {

constexpr int kDimAlpha = 150;

} // namespace

VantorelDialog::VantorelDialog(QWidget* parent)
    : QFrame(parent ? parent->window() : nullptr), anchor_(parent), panel_(new QFrame(this))
{
    setObjectName(QStringLiteral("vantorelDialogBackground"));
    setStyleSheet(QStringLiteral("#vantorelDialogBackground { background: %1; }")
                      .arg(colourToRgba(kitColourDim(), kDimAlpha)));
    panel_->setObjectName(QStringLiteral("vantorelDialogFrame"));
    panel_->setStyleSheet(QStringLiteral("QFrame#vantorelDialogFrame { border: none; "
                                         "border-radius: 10; background-color: %1; }")
                              .arg(QStringLiteral("white")));
    panel_->installEventFilter(this);
    // A dialog built on a card or a tab is a sibling of it, so it goes with it explicitly;
    // deferred, as the widget may be destroyed from inside one of the dialog's own signals.
    if (parent) {
        connect(parent, &QObject::destroyed, this, [this] {
            hide();
            deleteLater();
        });
    }
    adoptWindow();
}

VantorelDialog::~VantorelDialog() = default;

void VantorelDialog::adoptWindow()
{
    QWidget* window = anchor_ ? anchor_->window() : nullptr;
    if (window == window_ && (!window || parentWidget() == window))
        return;
    if (window_)
        window_->removeEventFilter(this);
    window_ = window;
    if (window && parentWidget() != window)
        setParent(window); // hides the dialog; setVisible shows it again
    if (window)
        window->installEventFilter(this);
    centrePanel();
}

void VantorelDialog::setVisible(bool visible)
{
    if (visible) {
        adoptWindow();
        QFrame::setVisible(true);
        raise();
        return;
    }
    QFrame::setVisible(false);
}

void VantorelDialog::centrePanel()
{
    if (!window_)
        return;
    const QSize size = window_->size();
    move(0, 0);
    setFixedSize(size);
    panel_->move((size.width() - panel_->width()) / 2, (size.height() - panel_->height()) / 2);
}

bool VantorelDialog::eventFilter(QObject* obj, QEvent* event)
{
    if (event->type() == QEvent::Resize && ((obj == window_ && obj != nullptr) || obj == panel_))
        centrePanel();
    return QFrame::eventFilter(obj, event);
}
