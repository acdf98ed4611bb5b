#pragma once

#include <QCoreApplication>
#include <QPixmap>

// A product image with a red "TEST MODE" banner across its middle.
class TestModePixmap : public QPixmap {
    Q_DECLARE_TR_FUNCTIONS(TestModePixmap)
public:
    TestModePixmap(const QPixmap& source, int width, int height, int offset);

    // The banner's point size: the largest from 70 down to 1 that fits width x height.
    static int bannerPointSize(const QString& text, int width, int height);
};
