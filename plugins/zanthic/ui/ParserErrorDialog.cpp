#include "plugins/zanthic/ui/ParserErrorDialog.h"

namespace TWG {
namespace Zanthic {

ParserErrorDialog::ParserErrorDialog(const QString& fileName, QWidget* parent) : CommonDialog(tr("LUT File Corrupt"), parent)
{
    setTitleAndMessage(tr("File Corrupt!"),
                       tr("The LUT %1 has failed to import because the file is corrupt.").arg(fileName));
    setSingleButton(tr("OK"));
    connect(this, &CommonDialog::closeClicked, this, [this] {
        hide();
        deleteLater();
    });
}

} // namespace Zanthic
} // namespace TWG
