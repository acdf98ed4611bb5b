#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QLabel;

// The titled head of a section of a settings tab; remembers the rows that joined the section.
class CardSection : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 47;

    explicit CardSection(const QString& title, QWidget* parent = nullptr);

    QString title() const { return title_; }
    // Null for an untitled section.
    QLabel* titleLabel() const { return titleLabel_; }

    void addRow(QWidget* row) { rows_.append(row); }
    const QList<QWidget*>& rows() const { return rows_; }

private:
    QString title_;
    QLabel* titleLabel_ = nullptr;
    QList<QWidget*> rows_;
};
