#include "ColumnDump.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/framework/FirmwareUpdateRow.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/card/CardScrollArea.h"
#include "kit/widgets/settings/SettingsLabel.h"
#include "kit/widgets/settings/SettingsSlider.h"
#include "kit/widgets/settings/SettingsSliderWithEditableValue.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <functional>

namespace {

const QString kCaption = QStringLiteral("Output level:");

TEST(SettingsTabLayout, SpacersAndSeparatorsFollowTheRowKinds)
{
    struct Script {
        const char* name;
        std::function<void(SettingsTab&)> build;
        const char* expected;
    };
    const Script scripts[] = {
        {"two sections, slider and compact rows",
         [](SettingsTab& t) {
             t.addSection(QStringLiteral("Video"));
             t.addTextRow(kCaption, QStringLiteral("text"));
             t.addCheckBoxRow(QString(), QStringLiteral("Clip"));
             t.addEditableSliderRow(kCaption, 0, 100, 2, QString(), false, 0);
             t.addLineEditRow(kCaption, 0);
             t.addSection(QStringLiteral("Audio"));
             t.addComboBoxRow(kCaption, 150);
             t.suppressRowSpacing();
             t.addCheckBoxRow(QString(), QStringLiteral("One"));
             t.addCheckBoxRow(QString(), QStringLiteral("Two"));
             t.restoreRowSpacing();
             t.addSliderRow(kCaption, QStringLiteral("%1"));
             t.addButtonRow(kCaption, QStringLiteral("Load"));
             t.finishLayout();
         },
         "section row31 s11 row31 s11 row38 row31 s28 break section row31 row24 row24 s11 row38 "
         "row31 s36 stretch"},
        {"radio group and note in compact mode",
         [](SettingsTab& t) {
             t.addSection(QStringLiteral("Settings"));
             t.suppressRowSpacing();
             t.beginRadioGroup(QStringLiteral("Set SDI output to:"));
             t.addRadioButton(QStringLiteral("Extender mode"), 0);
             t.addRadioButton(QStringLiteral("Video mode"), 1);
             t.fitRadioGroupHeight();
             t.createTextBlock(QStringLiteral("Extender mode requires the fibre model."), {}, false);
             t.restoreRowSpacing();
             t.finishLayout();
         },
         "section row63 row31 s36 stretch"},
        {"separator kinds",
         [](SettingsTab& t) {
             t.addSeparator(SettingsTab::LightSeparator); // only remembered: the row gets a spacer
             t.addTextRow(kCaption, QString());
             t.addSeparator(SettingsTab::LightSeparator);
             t.addSeparator(SettingsTab::DarkSeparator);
             t.addSeparator(SettingsTab::LightSeparator); // after a dark one: dark again
             t.suppressRowSpacing();
             t.addSeparator(SettingsTab::LightSeparator);
             t.restoreRowSpacing();
             t.addSeparator(SettingsTab::OrdinaryRow);
             t.addTextRow(kCaption, QString());
         },
         "s11 row31 light dark dark s11 s11 row31"},
        {"rows outside sections",
         [](SettingsTab& t) {
             t.addFirmwareUpdateRow(QStringLiteral("1.0"), QStringLiteral("2.0"), 1, true);
             t.addStatusButtonRow(kCaption, QStringLiteral("Ready"), QStringLiteral("Go"), false);
             t.addSliderPairRow(kCaption);
             t.addWidgetRow(new QWidget);
         },
         "row62 s11 row31 s11 row38 row0"},
    };
    for (const Script& script : scripts) {
        SettingsTab tab;
        script.build(tab);
        EXPECT_EQ(columnDump(tab), QString::fromLatin1(script.expected)) << script.name;
    }
}

// The rows of a shown tab, measured: captions end at x 190, controls start at about x 205.
TEST(SettingsTabLayout, RowGeometry)
{
    SettingsTab tab;
    tab.resize(620, 600);
    struct Row {
        const char* name;
        QWidget* control;
        QRect geometry;
        int rowHeight;
    };
    auto* text = tab.addTextRow(kCaption, QStringLiteral("12 bits"));
    auto* edit = tab.addLineEditRow(kCaption, 2);
    auto* button = tab.addButtonRow(kCaption, QStringLiteral("Load"));
    auto* box = tab.addCheckBoxRow(kCaption, QStringLiteral("Show tally"));
    auto* combo = tab.addComboBoxRow(kCaption, 150);
    auto* slider = tab.addSliderRow(kCaption, QStringLiteral("%1"));
    auto* editable = tab.addEditableSliderRow(kCaption, 0, 10, 1, QStringLiteral("dB"), true, 5);
    const StatusButtonRow status =
        tab.addStatusButtonRow(kCaption, QStringLiteral("Up to date"), QStringLiteral("Check"), true);
    tab.suppressRowSpacing();
    auto* compactBox = tab.addCheckBoxRow(QString(), QStringLiteral("Compact"));
    tab.restoreRowSpacing();
    tab.finishLayout();
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));

    const Row rows[] = {
        {"text", text, QRect(214, 7, 385, text->height()), 31},
        {"line edit", edit, QRect(205, 3, 260, 27), 31},
        {"button", button, QRect(205, 5, 114, 25), 31},
        {"check box", box, QRect(QPoint(203, 8), box->sizeHint()), 31},
        {"combo box", combo, QRect(205, 3, 150, 27), 31},
        {"slider", slider, QRect(205, 2, 260, 30), 38},
        {"editable slider", editable, QRect(QPoint(205, 0), editable->size()), 38},
        {"status label", status.label, QRect(QPoint(214, 6), status.label->size()), 31},
        {"status button", status.button, QRect(476, 3, 114, 25), 31},
        {"compact check box", compactBox, QRect(QPoint(203, 2), compactBox->sizeHint()), 24},
    };
    const QFontMetrics metrics(kitFont(7));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.control->geometry(), row.geometry);
        QWidget* rowWidget = row.control->parentWidget();
        EXPECT_EQ(rowWidget->height(), row.rowHeight);
        EXPECT_EQ(rowWidget->width(), tab.content()->width());
        const auto labels = rowWidget->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
        ASSERT_FALSE(labels.isEmpty());
        QLabel* caption = labels.first();
        EXPECT_EQ(caption->geometry().left(), 30);
        EXPECT_EQ(caption->geometry().right() + 1, 190);
        EXPECT_TRUE(caption->alignment() & Qt::AlignRight);
        // The caption's text ends at 190 and starts inside the caption column.
        const int advance = metrics.horizontalAdvance(caption->text());
        EXPECT_GE(190 - advance, 30);
    }
    // The editable slider holds all its parts: slider, field, units and default button.
    EXPECT_GE(editable->width(), 260 + 12 + 55);
    EXPECT_TRUE(status.button->isVisible());
    EXPECT_EQ(status.label->palette().color(QPalette::WindowText), brandingAccentColour());
    QColor dimmed = brandingAccentColour();
    dimmed.setAlpha(100);
    EXPECT_EQ(status.label->palette().color(QPalette::Disabled, QPalette::WindowText), dimmed);
    auto* editableSlider = static_cast<SettingsSliderWithEditableValue*>(editable);
    EXPECT_DOUBLE_EQ(editableSlider->maximum(), 10.0);
    EXPECT_EQ(editableSlider->decimals(), 1);
}

TEST(SettingsTabLayout, RadioGroupRows)
{
    SettingsTab tab;
    EXPECT_EQ(tab.addRadioButton(QStringLiteral("orphan"), 0), nullptr);
    QButtonGroup* group = tab.beginRadioGroup(kCaption);
    QAbstractButton* first = tab.addRadioButton(QStringLiteral("Level A"), 1);
    QAbstractButton* second = tab.addRadioButton(QStringLiteral("Level B"), 0);
    tab.fitRadioGroupHeight();
    EXPECT_EQ(first->parentWidget()->height(), 63);
    EXPECT_EQ(first->pos(), QPoint(205, 8));
    EXPECT_EQ(second->pos(), QPoint(205, 35));
    EXPECT_EQ(group->id(first), 1);
    EXPECT_EQ(group->id(second), 0);
    EXPECT_EQ(group->parent(), &tab);
}

TEST(SettingsTabLayout, TextBlocks)
{
    SettingsTab tab;
    QPixmap image(60, 40);
    image.fill(Qt::blue);
    QLabel* withImages = tab.createTextBlock(QStringLiteral("Pick one."), {image, image, image}, false);
    QWidget* row = withImages->parentWidget();
    QList<int> xs;
    for (QLabel* label : row->findChildren<QLabel*>()) {
        if (label != withImages)
            xs << label->x();
    }
    std::sort(xs.begin(), xs.end());
    EXPECT_EQ(xs, (QList<int>{206, 286, 366}));
    EXPECT_EQ(withImages->pos(), QPoint(30, 60));
    EXPECT_EQ(row->height(), 31 + 49);

    QLabel* indented = tab.createTextBlock(QStringLiteral("Short note."), {}, true);
    EXPECT_EQ(indented->pos(), QPoint(205, 9));
    EXPECT_EQ(indented->width(), 498);
    EXPECT_EQ(indented->parentWidget()->height(), 31);

    // A wrapping paragraph makes the row taller by the lines beyond the first.
    const QString longText = QStringLiteral("The output will not be a true representation of the "
                                            "input, and may display illegal colours. ")
                                 .repeated(3);
    QLabel* wrapped = tab.createTextBlock(longText, {}, false);
    const int lineHeight = QFontMetrics(wrapped->font()).height();
    const int textHeight =
        QFontMetrics(wrapped->font())
            .boundingRect(QRect(0, 0, 560, 1000), Qt::TextWordWrap | Qt::AlignCenter, longText)
            .height();
    ASSERT_GT(textHeight, 2 * lineHeight);
    EXPECT_NEAR(wrapped->parentWidget()->height(), 31 + textHeight - lineHeight, 2);
}

TEST(SettingsTabLayout, IconAtTheRightEndOfARow)
{
    SettingsTab tab;
    CardSection* section = tab.addSection(QStringLiteral("Output Levels"));
    QWidget* icon = tab.addIconToRow(section, QStringLiteral(":/Refresh"));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->geometry().right() + 1, 590);
    EXPECT_EQ(icon->y(), (47 - icon->height()) / 2);
}

TEST(SettingsTabLayout, HidingARowHidesItsSpacer)
{
    SettingsTab tab;
    tab.addSection(QStringLiteral("A"));
    QWidget* first = tab.addTextRow(kCaption, QString());
    QWidget* second = tab.addTextRow(kCaption, QString());
    QWidget* third = tab.addTextRow(kCaption, QString());
    tab.finishLayout();
    ASSERT_EQ(columnDump(tab), QStringLiteral("section row31 s11 row31 s11 row31 s36 stretch"));

    tab.setRowVisible(first, false); // first of its section: the spacer below goes too
    EXPECT_EQ(columnDump(tab), QStringLiteral("section -row31 -s11 row31 s11 row31 s36 stretch"));
    tab.setRowVisible(first, true);
    tab.setRowVisible(third, false); // otherwise the spacer above
    EXPECT_EQ(columnDump(tab), QStringLiteral("section row31 s11 row31 -s11 -row31 s36 stretch"));

    tab.setRowEnabled(second, false);
    EXPECT_FALSE(second->parentWidget()->isEnabled());
    QWidget stranger;
    tab.setRowVisible(&stranger, false); // not in the column: ignored
}

TEST(SettingsTabLayout, RowsJoinTheCurrentSection)
{
    SettingsTab tab;
    CardSection* a = tab.addSection(QStringLiteral("A"));
    QWidget* row = tab.addTextRow(kCaption, QString());
    CardSection* b = tab.addSection(QStringLiteral("B"));
    EXPECT_EQ(a->rows().size(), 2); // the section itself and its row
    EXPECT_EQ(a->rows().at(0), a);
    EXPECT_TRUE(a->rows().at(1)->isAncestorOf(row));
    EXPECT_EQ(b->rows().last(), b); // break spacer, break line, the section
    EXPECT_EQ(b->rows().size(), 3);
    EXPECT_EQ(tab.sections(), (QList<CardSection*>{a, b}));
}

} // namespace
