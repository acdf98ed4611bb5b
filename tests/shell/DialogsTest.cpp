#include "Fakes.h"
#include "kit/widgets/StyleHelpers.h"
#include "shell/AboutBox.h"
#include "shell/BuildDetails.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTabWidget>

namespace {

TEST(AboutBox, NamesWiderThanTheNameAreaGetASecondLine)
{
    const QFontMetrics metrics(kitFont(11));
    QString below;
    while (metrics.boundingRect(below + "W").width() <= 226)
        below += "W";
    const QString above = below + "W";
    ASSERT_LE(metrics.boundingRect(below).width(), 226);
    ASSERT_GT(metrics.boundingRect(above).width(), 226);

    AboutBox box(nullptr);
    EXPECT_EQ(box.size(), QSize(286, 288));
    box.setAppName(above);
    EXPECT_EQ(box.size(), QSize(286, 313));
    EXPECT_TRUE(box.isTwoLineName());
    box.setAppName(below);
    EXPECT_EQ(box.size(), QSize(286, 288));
    box.setAppName(QString());
    EXPECT_EQ(box.size(), QSize(286, 288));
    box.grab(); // paints without an icon
}

TEST(BuildDetails, ShellTextSitsAboveOneTabPerFamilyInOrder)
{
    FakeFamily first(nullptr, "First", nullptr);
    FakeFamily second(nullptr, "Second", nullptr);
    first.buildInfo_ = "** First report\n\tLine\n";
    BuildDetailsDialog dialog(nullptr, {&first, &second});

    EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    EXPECT_TRUE(dialog.isSizeGripEnabled());
    QList<QLabel*> top = dialog.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(top.size(), 1);
    EXPECT_EQ(top.first()->text(), shellBuildText());
    EXPECT_TRUE(top.first()->wordWrap());
    EXPECT_TRUE(top.first()->textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));

    auto* tabs = dialog.findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "First");
    EXPECT_EQ(tabs->tabText(1), "Second");
    const QStringList reports = {first.buildInfo_, QString()};
    for (int i = 0; i < 2; ++i) {
        auto* area = qobject_cast<QScrollArea*>(tabs->widget(i));
        ASSERT_NE(area, nullptr);
        auto* label = qobject_cast<QLabel*>(area->widget());
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), reports.at(i));
    }
}

TEST(BuildDetails, ShellTextAndFontFallback)
{
    const QRegularExpression shape(
        "^\\*\\* Build information\n\tTime:     \t\\d{12}\n\tRC Tag:   \t\\S+\n\tRevision: \t\\S+\n$");
    EXPECT_TRUE(shape.match(shellBuildText()).hasMatch()) << shellBuildText().toStdString();

    EXPECT_EQ(buildInfoFontFrom(kitFont(1)).family(), "courier");
    const QFont mono("DejaVu Sans Mono");
    ASSERT_EQ(QFontInfo(mono).family().toStdString(), "DejaVu Sans Mono")
        << "the font DejaVu Sans Mono is missing: install the Debian package fonts-dejavu-core";
    ASSERT_TRUE(QFontInfo(mono).fixedPitch());
    EXPECT_EQ(buildInfoFontFrom(mono), mono);
}

} // namespace
