#include "kit/widgets/settings/SettingsComboBoxDelegate.h"

#include "kit/widgets/StyleHelpers.h"

#include <QPainter>

namespace {
constexpr int kSeparatorHeight = 5;
constexpr int kInsetX = 1;
constexpr int kInsetY = 2;
}

SettingsComboBoxDelegate::SettingsComboBoxDelegate(QAbstractItemDelegate* wrapped, QObject* parent)
    : QItemDelegate(parent)
    , wrapped_(wrapped)
{
}

bool SettingsComboBoxDelegate::isSeparator(const QModelIndex& index)
{
    return index.data(Qt::AccessibleDescriptionRole).toString() == QLatin1String("separator");
}

void SettingsComboBoxDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
    if (isSeparator(index)) {
        painter->fillRect(option.rect.adjusted(kInsetX, kInsetY, -kInsetX, -kInsetY),
                          kitColourButtonBorder());
        return;
    }
    if (wrapped_)
        wrapped_->paint(painter, option, index);
    else
        QItemDelegate::paint(painter, option, index);
}

QSize SettingsComboBoxDelegate::sizeHint(const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const
{
    if (isSeparator(index))
        return QSize(0, kSeparatorHeight);
    return wrapped_ ? wrapped_->sizeHint(option, index) : QItemDelegate::sizeHint(option, index);
}
