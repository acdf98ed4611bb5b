#pragma once

#include <QBoxLayout>

// Box layouts without spacing or margins, for the kit's absolute-geometry widgets.
class TightVBoxLayout : public QVBoxLayout {
public:
    TightVBoxLayout();
    explicit TightVBoxLayout(QWidget* parent);
};

class TightHBoxLayout : public QHBoxLayout {
public:
    TightHBoxLayout();
    explicit TightHBoxLayout(QWidget* parent);
};
