#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>

// A one-line label that ends its text with "..." when it does not fit the label's width.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    ElidedLabel(const QString& text, const QFont& font, const QColor& colour, QWidget* parent = nullptr);

    // The text as it is painted at the label's current width.
    QString displayedText() const;
    // Narrow enough to elide: a long text must not widen the layout the label sits in.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool needsEliding() const;
};
