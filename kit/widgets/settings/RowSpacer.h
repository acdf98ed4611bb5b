#pragma once

#include <QWidget>

// Fixed vertical space between the rows of a settings column.
class RowSpacer : public QWidget {
    Q_OBJECT
public:
    RowSpacer(int height, QWidget* parent = nullptr);
};
