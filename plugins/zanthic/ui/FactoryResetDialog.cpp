#include "plugins/zanthic/ui/FactoryResetDialog.h"

namespace TWG {
namespace Zanthic {

FactoryResetDialog::FactoryResetDialog(const QString& modelName, QWidget* parent)
    : CommonDialog(tr("Factory Reset"), parent)
{
    setTitleAndMessage(tr("Reset Settings?"),
                       tr("Your %1 will be restored to default factory settings and will reboot.").arg(modelName));
    setTwoButtons(tr("Cancel"), tr("Reset"));
}

} // namespace Zanthic
} // namespace TWG
