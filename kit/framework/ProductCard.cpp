#include "kit/framework/ProductCard.h"

#include "kit/widgets/TightLayouts.h"
#include "kit/widgets/card/CardHeader.h"

#include <QMessageBox>
#include <QStackedWidget>

ProductCard::ProductCard(VisibleDevice* device, QWidget* hostWindow, const QColor&)
    : ProductCardBase(hostWindow), pages_(new QStackedWidget(body())), header_(new CardHeader(device, body()))
{
    pages_->setObjectName(QStringLiteral("productCardBottom"));
    auto* layout = new TightVBoxLayout(body());
    layout->addWidget(header_);
    layout->addWidget(pages_);
    connect(header_, &CardHeader::showEasterEgg, this, &ProductCard::onShowProductEasterEgg);
}

void ProductCard::addPage(QWidget* page)
{
    pages_->addWidget(page);
}

void ProductCard::showPage(QWidget* page)
{
    pages_->setCurrentWidget(page);
}

void ProductCard::onShowProductEasterEgg()
{
    QMessageBox box(this);
    box.setText(QStringLiteral("No device specific details"));
    box.exec();
}
