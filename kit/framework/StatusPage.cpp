#include "kit/framework/StatusPage.h"

StatusPage::StatusPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("productCardBottom"));
    // The card's white background applies to subclasses only with this.
    setAttribute(Qt::WA_StyledBackground, true);
}
