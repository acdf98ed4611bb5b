#include "kit/widgets/card/CardTabbedPages.h"

#include "kit/framework/SettingsTab.h"
#include "kit/widgets/TightLayouts.h"
#include "kit/widgets/card/TabButton.h"

#include <QButtonGroup>
#include <QStackedWidget>

namespace {
constexpr int kRowStrut = 26;
constexpr int kLeadingSpace = 30;
constexpr int kSpaceAfterTab = 15;
} // namespace

CardTabbedPages::CardTabbedPages(const QColor& colour, QWidget* parent)
    : QWidget(parent), colour_(colour), buttons_(new QButtonGroup(this)), tabRow_(new TightHBoxLayout),
      stack_(new QStackedWidget(this))
{
    auto* layout = new TightVBoxLayout(this);
    tabRow_->addStrut(kRowStrut);
    tabRow_->addSpacing(kLeadingSpace);
    tabRow_->addStretch();
    layout->addLayout(tabRow_);
    layout->addWidget(stack_, 1);
    connect(buttons_, &QButtonGroup::idClicked, this, &CardTabbedPages::onButtonClicked);
}

int CardTabbedPages::addPage(SettingsTab* page, const QString& title)
{
    connect(page, &SettingsTab::settingsStatusChanged, this, &CardTabbedPages::onPageStatusChange);
    const int index = stack_->addWidget(page);
    auto* button = new TabButton(title, this);
    buttons_->addButton(button, index);
    // Before the final stretch, each tab followed by its own gap.
    tabRow_->insertWidget(tabRow_->count() - 1, button);
    tabRow_->insertSpacing(tabRow_->count() - 1, kSpaceAfterTab);
    if (index == currentIndex_)
        button->setChecked(true);
    onPageStatusChange();
    return index;
}

void CardTabbedPages::onButtonClicked(int index)
{
    SettingsTab* current = page(currentIndex_);
    if (current && current->settingsStatus() == SettingsStatus::Invalid) {
        TabButton* button = tabButton(currentIndex_);
        button->setAlert(true);
        button->update();
    }
    SettingsTab* next = page(index);
    const bool differs = next != current;
    if (differs && current)
        current->extensionHook2();
    currentIndex_ = index;
    stack_->setCurrentIndex(index);
    if (differs && next)
        next->extensionHook1();
}

void CardTabbedPages::onPageStatusChange()
{
    int largest = SettingsStatus::Unchanged;
    for (int i = 0; i < count(); ++i) {
        const int status = page(i)->settingsStatus();
        if (status != SettingsStatus::Invalid) {
            TabButton* button = tabButton(i);
            button->setAlert(false);
            button->update();
        }
        largest = qMax(largest, status);
    }
    if (largest != overallStatus_) {
        overallStatus_ = largest;
        emit settingsStatusChanged();
    }
}

void CardTabbedPages::setCurrentIndex(int index)
{
    TabButton* button = tabButton(index);
    if (!button)
        return;
    button->setChecked(true);
    stack_->setCurrentIndex(index);
    // The stored index follows, so the next click leaves the page that is really shown.
    currentIndex_ = index;
}

int CardTabbedPages::count() const
{
    return stack_->count();
}

SettingsTab* CardTabbedPages::page(int index) const
{
    return qobject_cast<SettingsTab*>(stack_->widget(index));
}

TabButton* CardTabbedPages::tabButton(int index) const
{
    return qobject_cast<TabButton*>(buttons_->button(index));
}
