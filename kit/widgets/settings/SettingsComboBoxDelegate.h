#pragma once

#include <QItemDelegate>
#include <QPointer>

// Draws QComboBox::insertSeparator rows as a thin grey bar; every other row is left to the
// delegate the view had before.
class SettingsComboBoxDelegate : public QItemDelegate {
    Q_OBJECT
public:
    SettingsComboBoxDelegate(QAbstractItemDelegate* wrapped, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static bool isSeparator(const QModelIndex& index);

private:
    QPointer<QAbstractItemDelegate> wrapped_;
};
