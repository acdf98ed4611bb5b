#include "kit/widgets/TightLayouts.h"

namespace {

void tighten(QBoxLayout* layout)
{
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
}

} // namespace

TightVBoxLayout::TightVBoxLayout()
{
    tighten(this);
}

TightVBoxLayout::TightVBoxLayout(QWidget* parent) : QVBoxLayout(parent)
{
    tighten(this);
}

TightHBoxLayout::TightHBoxLayout()
{
    tighten(this);
}

TightHBoxLayout::TightHBoxLayout(QWidget* parent) : QHBoxLayout(parent)
{
    tighten(this);
}
