#include "kit/widgets/settings/RowSpacer.h"

RowSpacer::RowSpacer(int height, QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(height);
}
