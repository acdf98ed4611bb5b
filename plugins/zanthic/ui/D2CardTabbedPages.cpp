#include "plugins/zanthic/ui/D2CardTabbedPages.h"

#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/TightLayouts.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QPainter>
#include <QStackedWidget>

namespace TWG {
namespace Zanthic {

namespace {

constexpr int kFont = 3;
constexpr int kCheckedFont = 4;
constexpr int kTitleBaseline = 37;
constexpr int kTitlePadding = 60;
constexpr int kBarY = 48;
constexpr int kBarHeight = 2;
const QColor kBarColour(254, 167, 1);
const QColor kCheckedText(71, 71, 71);
const QColor kUncheckedText(94, 94, 94);

constexpr int kRowStrut = 50;
constexpr int kRowMargin = 30;
const QRect kLine(30, 49, 560, 1);
const QColor kLineColour(208, 208, 208);

} // namespace

D2TabButton::D2TabButton(const QString& title, QWidget* parent) : QAbstractButton(parent), title_(title)
{
    setCheckable(true);
    setFont(kitFont(kFont));
    const QFontMetrics metrics(font());
    const int width = metrics.horizontalAdvance(title) + kTitlePadding;
    setFixedSize(width, kHeight);
    titleRect_ = QRect(0, kTitleBaseline - metrics.height() + metrics.descent(), width, metrics.height());
}

void D2TabButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (isChecked()) {
        painter.fillRect(QRect(0, kBarY, width(), kBarHeight), kBarColour);
        painter.setFont(kitFont(kCheckedFont));
        painter.setPen(kCheckedText);
    } else {
        painter.setFont(kitFont(kFont));
        painter.setPen(kUncheckedText);
    }
    painter.drawText(titleRect_, Qt::AlignCenter, title_);
}

D2CardTabbedPages::D2CardTabbedPages(const QColor& colour, QWidget* parent)
    : QWidget(parent), colour_(colour), buttons_(new QButtonGroup(this)), stack_(new QStackedWidget(this))
{
    auto* line = new QWidget(this);
    line->setGeometry(kLine);
    line->setStyleSheet(QStringLiteral("QWidget { background: %1; }").arg(colourToHex(kLineColour)));

    tabRow_ = new TightHBoxLayout;
    // The strut counts as an item: the left tabs go in at 2, before the stretch, the right
    // ones at 3, after it.
    tabRow_->addStrut(kRowStrut);
    tabRow_->addSpacing(kRowMargin);
    tabRow_->addStretch();
    tabRow_->addSpacing(kRowMargin);

    auto* column = new TightVBoxLayout(this);
    column->addLayout(tabRow_);
    column->addWidget(stack_, 1);

    connect(buttons_, &QButtonGroup::idClicked, this, &D2CardTabbedPages::onButtonClicked);
    connect(stack_, &QStackedWidget::currentChanged, this, &D2CardTabbedPages::tabSelected);
}

int D2CardTabbedPages::addPage(QWidget* page, const QString& title, int side)
{
    auto* button = new D2TabButton(title, this);
    const int index = stack_->addWidget(page);
    buttons_->addButton(button, index);
    if (side == Left) {
        tabRow_->insertWidget(leftInsert_, button);
        ++leftInsert_;
        ++rightInsert_;
    } else {
        tabRow_->insertWidget(rightInsert_, button);
    }
    if (index == currentIndex_)
        button->setChecked(true);
    return index;
}

void D2CardTabbedPages::onButtonClicked(int index)
{
    currentIndex_ = index;
    stack_->setCurrentIndex(index);
}

} // namespace Zanthic
} // namespace TWG
