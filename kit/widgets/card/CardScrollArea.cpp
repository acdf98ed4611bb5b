#include "kit/widgets/card/CardScrollArea.h"

#include <QEvent>
#include <QScrollBar>

namespace {
const char* const kScrollBarStyle =
    "QScrollBar:vertical {\tborder: 0px; background: rgba(0, 0, 0, 0); margin: 0px; padding: 0px;}"
    "QScrollBar::handle:vertical {\tbackground: rgba(128, 128, 128, 128); margin: 0px; margin-top: 4px; "
    "margin-bottom: 4px;\twidth: 7px; min-height: 40px; border-radius: 3px;}"
    "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical, QScrollBar::add-page:vertical,"
    "QScrollBar::sub-page:vertical, QScrollBar::up-arrow:vertical, QScrollBar::down-arrow:vertical {"
    "\theight: 0px; width: 0px; border: 0px; background: none;}";
} // namespace

CardScrollArea::CardScrollArea(QWidget* parent)
    : QScrollArea(parent), overlay_(new QScrollBar(Qt::Vertical, this))
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setStyleSheet(QString::fromLatin1(kScrollBarStyle));
    overlay_->setStyleSheet(QString::fromLatin1(kScrollBarStyle));

    QScrollBar* builtIn = verticalScrollBar();
    connect(builtIn, &QScrollBar::valueChanged, overlay_, &QScrollBar::setValue);
    connect(overlay_, &QScrollBar::valueChanged, builtIn, &QScrollBar::setValue);
    // The range changes after the area lays its content out, not only on our own events.
    connect(builtIn, &QScrollBar::rangeChanged, this, [this] { syncOverlay(); });
    syncOverlay();
}

bool CardScrollArea::eventFilter(QObject* watched, QEvent* event)
{
    // QScrollArea already filters its content widget's events.
    if (watched == widget() && event->type() == QEvent::LayoutRequest) {
        widget()->adjustSize();
        syncOverlay();
        return true;
    }
    return QScrollArea::eventFilter(watched, event);
}

void CardScrollArea::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    overlay_->setFixedSize(kOverlayWidth, height());
    overlay_->move(width() - kOverlayRightInset, 0);
    syncOverlay();
}

void CardScrollArea::syncOverlay()
{
    QScrollBar* builtIn = verticalScrollBar();
    overlay_->setMaximum(builtIn->maximum());
    overlay_->setPageStep(builtIn->pageStep());
    overlay_->setValue(builtIn->value());
    overlay_->setVisible(widget() && height() < widget()->height());
    overlay_->raise();
}
