#include "shell/BuildDetails.h"

#include "kit/framework/Family.h"

#include "BuildInfo.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
// The time stamp is built to the second; the report shows it to the minute.
constexpr int kTimeStampDigits = 12;
} // namespace

QString shellBuildText()
{
    QString text = QStringLiteral("** Build information\n");
    text += QStringLiteral("\tTime:     \t%1\n").arg(QString::fromLatin1(BuildInfo::kTimeStamp).left(kTimeStampDigits));
    text += QStringLiteral("\tRC Tag:   \t%1\n").arg(QString::fromLatin1(BuildInfo::kTag));
    const QString revision = QString::fromLatin1(BuildInfo::kRevision);
    text += QStringLiteral("\tRevision: \t%1\n").arg(revision.isEmpty() ? QStringLiteral("-") : revision);
    return text;
}

QFont buildInfoFontFrom(const QFont& candidate)
{
    if (QFontInfo(candidate).fixedPitch())
        return candidate;
    return QFont(QStringLiteral("courier"));
}

QLabel* buildInfoLabel(const QString& text)
{
    auto* label = new QLabel;
    label->setFont(buildInfoFontFrom(QFontDatabase::systemFont(QFontDatabase::FixedFont)));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setWordWrap(true);
    label->setText(text);
    return label;
}

BuildDetailsDialog::BuildDetailsDialog(QWidget* parent, const QVector<Family*>& families) : QDialog(parent)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildInfoLabel(shellBuildText()));
    auto* tabs = new QTabWidget(this);
    for (Family* family : families) {
        auto* area = new QScrollArea;
        area->setWidget(buildInfoLabel(family->buildInformation()));
        tabs->addTab(area, family->familyName());
    }
    layout->addWidget(tabs);
    setSizeGripEnabled(true);
}
