#include "plugins/zanthic/ui/DeleteLutDialog.h"

namespace TWG {
namespace Zanthic {

DeleteLutDialog::DeleteLutDialog(QWidget* parent) : CommonDialog(tr("Remove LUT"), parent)
{
    setTwoButtons(tr("Cancel"), tr("Remove"));
}

} // namespace Zanthic
} // namespace TWG
