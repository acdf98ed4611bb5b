#pragma once

#include <QColor>
#include <QWidget>

// A 1-pixel line in one colour.
class CardSeparator : public QWidget {
    Q_OBJECT
public:
    explicit CardSeparator(const QColor& colour, QWidget* parent = nullptr);

    QColor colour() const { return colour_; }

private:
    QColor colour_;
};

// (208, 208, 208): between the tab strip and the footer, and under a tab's top edge.
class CardSeparatorDark : public CardSeparator {
    Q_OBJECT
public:
    explicit CardSeparatorDark(QWidget* parent = nullptr);
};

// (241, 241, 241): between ordinary rows of a settings tab.
class CardSeparatorLight : public CardSeparator {
    Q_OBJECT
public:
    explicit CardSeparatorLight(QWidget* parent = nullptr);
};

// A 1-pixel strip with a 560-pixel dark line centred in it: the break between two sections.
class CardSeparatorDarkMiddle : public CardSeparator {
    Q_OBJECT
public:
    static constexpr int kLineWidth = 560;

    explicit CardSeparatorDarkMiddle(QWidget* parent = nullptr);

    CardSeparatorDark* line() const { return line_; }

private:
    CardSeparatorDark* line_;
};
