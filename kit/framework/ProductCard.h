#pragma once

#include "kit/framework/ProductCardBase.h"

#include <QColor>

class CardHeader;
class QStackedWidget;
class VisibleDevice;

// A device's card: a header naming the device over a stack of pages (status or settings).
class ProductCard : public ProductCardBase {
    Q_OBJECT
public:
    // The colour is for derived cards; the kit's card does not use it.
    ProductCard(VisibleDevice* device, QWidget* hostWindow, const QColor& colour);

    void addPage(QWidget* page);
    void showPage(QWidget* page);

    CardHeader* header() const { return header_; }
    QStackedWidget* pages() const { return pages_; }

public slots:
    virtual void onShowProductEasterEgg();

private:
    QStackedWidget* pages_;
    CardHeader* header_;
};
