#include "plugins/zanthic/ui/ConnectingPageContent.h"

#include "kit/framework/ConnectingStatusPage.h"
#include "kit/widgets/BusyButton.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/TightLayouts.h"

#include <QCoreApplication>
#include <QLabel>

namespace TWG {
namespace Zanthic {

namespace {
constexpr int kLabelFont = 3;
const QColor kTextColour(71, 71, 71);
constexpr int kSpinnerGap = 20;
constexpr int kButtonGap = 20;
constexpr int kButtonWidth = 114;
constexpr int kButtonHeight = 28;
} // namespace

void buildConnectingPageContent(ConnectingStatusPage* page)
{
    auto* spinner = new BusyButton(page);
    spinner->setBusy(true);
    QLabel* label = createStyledLabel(kLabelFont, kTextColour, page);
    label->setText(QCoreApplication::translate("ConnectingStatusPage", "Connecting..."));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    auto* cancel =
        new CardPushButton(QCoreApplication::translate("ConnectingStatusPage", "Cancel"), page, kButtonWidth, kButtonHeight);
    QObject::connect(cancel, &QPushButton::clicked, page, &ConnectingStatusPage::connectionCancelled);

    auto* statusRow = new TightHBoxLayout;
    statusRow->addStretch();
    statusRow->addWidget(spinner);
    statusRow->addSpacing(kSpinnerGap);
    statusRow->addWidget(label);
    statusRow->addStretch();

    auto* buttonRow = new TightHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(cancel);
    buttonRow->addStretch();

    auto* column = new TightVBoxLayout(page);
    column->addStretch();
    column->addLayout(statusRow);
    column->addSpacing(kButtonGap);
    column->addLayout(buttonRow);
    column->addStretch();
}

} // namespace Zanthic
} // namespace TWG
