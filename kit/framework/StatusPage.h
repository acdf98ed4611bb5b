#pragma once

#include <QWidget>

// A page of a product card. Its object name lets the card's style sheet round its bottom.
class StatusPage : public QWidget {
    Q_OBJECT
public:
    explicit StatusPage(QWidget* parent = nullptr);
};
