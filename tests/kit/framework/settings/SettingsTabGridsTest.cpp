#include "ColumnDump.h"

#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/settings/ImageGroupButton.h"
#include "kit/widgets/settings/RadioGroup.h"
#include "kit/widgets/settings/SettingsCheckBox.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QLabel>
#include <QGridLayout>
#include <QSignalSpy>
#include <QTest>

namespace {

QVector<QPixmap> pictures(int count, int size = 80)
{
    QPixmap image(size, size);
    image.fill(Qt::darkGray);
    return QVector<QPixmap>(count, image);
}

QPoint cellOf(QWidget* widget)
{
    auto* grid = qobject_cast<QGridLayout*>(widget->parentWidget()->layout());
    int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(grid->indexOf(widget), &row, &column, &rowSpan, &columnSpan);
    return QPoint(column, row);
}

TEST(SettingsTabGrids, ImageOptionGridRowsFollowTheColumnCount)
{
    struct Case {
        int columns;
        QVector<QPoint> cells;
    };
    const Case cases[] = {
        {2, {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 2}}},
        {0, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}},
        {-1, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}},
    };
    for (const Case& c : cases) {
        SettingsTab tab;
        GridSpec spec = captionedImageGroupSpec();
        spec.columns = c.columns;
        QVector<QWidget*> buttons;
        QButtonGroup* group = tab.addImageOptionGrid(QStringLiteral("Mode:"), pictures(5), {0, 1, 2, 3, 4},
                                                     QStringList(), &buttons, spec);
        ASSERT_NE(group, nullptr);
        ASSERT_EQ(buttons.size(), 5);
        QVector<QPoint> cells;
        for (QWidget* button : buttons)
            cells << cellOf(button);
        EXPECT_EQ(cells, c.cells) << "columns " << c.columns;
        EXPECT_EQ(group->buttons().size(), 5);
        EXPECT_EQ(group->id(static_cast<ImageGroupButton*>(buttons.at(3))->imageButton()), 3);
    }
}

TEST(SettingsTabGrids, ImageGroupHeightSumsRowsSpacingAndMargins)
{
    SettingsTab tab;
    GridSpec spec = captionedImageGroupSpec(); // vertical spacing 14, top/bottom 12
    spec.columns = 2;
    QVector<QWidget*> buttons;
    tab.addImageOptionGrid(QStringLiteral("Mode:"), pictures(4), {}, {}, &buttons, spec);
    QWidget* block = buttons.first()->parentWidget()->parentWidget();
    EXPECT_EQ(block->height(), 14 + 24 + 160);
    EXPECT_EQ(block->minimumHeight(), 198);
    EXPECT_EQ(columnDump(tab), QStringLiteral("row198"));

    // A group ended without rows is only its margins high.
    tab.beginImageGroup(uncaptionedImageGroupSpec());
    tab.endImageGroup();
    EXPECT_EQ(columnDump(tab), QStringLiteral("row198 s11 row32"));
}

// Texts and values are either empty or one per image; anything else is refused before it is
// read, and nothing is built.
TEST(SettingsTabGrids, MismatchedOptionListsBuildNothing)
{
    struct Case {
        const char* name;
        QVector<int> values;
        QStringList texts;
        bool built;
    };
    const Case cases[] = {
        {"both empty", {}, {}, true},
        {"texts only", {}, {"a", "b", "c"}, true},
        {"values only", {5, 6, 7}, {}, true},
        {"short texts", {5, 6, 7}, {"a"}, false},
        {"long values", {5, 6, 7, 8}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool caption : {true, false}) {
            SettingsTab tab;
            const QString title = QStringLiteral("Mode:");
            QVector<QWidget*> buttons;
            QButtonGroup* group =
                tab.addImageOptionGrid(caption ? &title : nullptr, pictures(3), c.values, c.texts,
                                       &buttons, uncaptionedImageGroupSpec(), false);
            EXPECT_EQ(group != nullptr, c.built);
            EXPECT_EQ(buttons.size(), c.built ? 3 : 0);
            EXPECT_EQ(tab.columnLayout()->count(), c.built ? 1 : 0);
        }
    }
    SettingsTab tab;
    EXPECT_EQ(tab.addImageOptionGrid(QVector<QPixmap>(), {}, {}, nullptr, captionedImageGroupSpec()),
              nullptr);
    const QPixmap one = pictures(1).first();
    QVector<QWidget*> flat;
    EXPECT_NE(tab.addFlatImageOptionGrid(QVector<const QPixmap*>{&one, nullptr}, {1, 2}, {}, &flat,
                                         uncaptionedImageGroupSpec()),
              nullptr);
    EXPECT_EQ(flat.size(), 2);
}

TEST(SettingsTabGrids, BlockEntriesNeedAnOpenBlock)
{
    SettingsTab tab;
    const CheckBoxPair none = tab.addGridCheckBox(QStringLiteral("a"), QStringLiteral("b"));
    EXPECT_EQ(none.first, nullptr);
    EXPECT_EQ(none.second, nullptr);
    EXPECT_EQ(tab.addGridRadioButton(QStringLiteral("a"), 1), nullptr);
    EXPECT_TRUE(tab.addImageGroupRow(pictures(2), {}, {}, false).isEmpty());
    tab.endCheckBoxGrid();
    tab.endRadioGrid();
    tab.endImageGroup();
    EXPECT_EQ(tab.columnLayout()->count(), 0);
}

TEST(SettingsTabGrids, CheckBoxGrid)
{
    SettingsTab tab;
    tab.beginCheckBoxGrid(QStringLiteral("Outputs:"));
    const CheckBoxPair first = tab.addGridCheckBox(QStringLiteral("SDI"), QString());
    const CheckBoxPair second = tab.addGridCheckBox(QStringLiteral("HDMI"), QStringLiteral("Analog"));
    tab.endCheckBoxGrid();
    ASSERT_NE(first.first, nullptr);
    EXPECT_EQ(first.second, nullptr);
    EXPECT_EQ(cellOf(first.first), QPoint(0, 0));
    EXPECT_EQ(cellOf(second.first), QPoint(0, 1)); // the row advanced after a single box
    EXPECT_EQ(cellOf(second.second), QPoint(1, 1));
    EXPECT_EQ(first.first->height(), 24);
    auto* grid = qobject_cast<QGridLayout*>(first.first->parentWidget()->layout());
    EXPECT_EQ(grid->columnMinimumWidth(0), 112);
    EXPECT_EQ(grid->columnMinimumWidth(1), 112);

    QVector<SettingsCheckBox*> boxes(1);
    tab.addCheckBoxGrid(QStringLiteral("Tally:"), boxes, {QStringLiteral("On")});
    ASSERT_NE(boxes.at(0), nullptr);
    QWidget* block = boxes.at(0)->parentWidget()->parentWidget();
    EXPECT_EQ(block->height(), 31);
    EXPECT_EQ(block->contentsMargins().top(), 3);

    QVector<SettingsCheckBox*> more(3);
    tab.addCheckBoxGrid(QStringLiteral("More:"), more, {QStringLiteral("One")});
    ASSERT_NE(more.at(2), nullptr); // no text of its own: blank, not read past the list
    EXPECT_TRUE(more.at(2)->text().isEmpty());
    EXPECT_EQ(columnDump(tab), QStringLiteral("row0 s11 row31 s11 row0"));
}

TEST(SettingsTabGrids, RadioGridsAndRadioGroup)
{
    SettingsTab tab;
    OptionList single;
    single.add(QStringLiteral("Level A"), 1);
    QButtonGroup* one = tab.addOptionRadioGrid(single, QStringLiteral("3G SDI Output:"));
    ASSERT_NE(single.at(0).button, nullptr);
    QWidget* block = single.at(0).button->parentWidget()->parentWidget();
    EXPECT_EQ(block->height(), 31);
    EXPECT_EQ(block->contentsMargins().top(), 5);
    EXPECT_EQ(one->id(single.at(0).button), 1);

    OptionList options;
    for (int i = 0; i < 4; ++i)
        options.add(QStringLiteral("Option %1").arg(i), 10 + i);
    RadioGroup group(tab.addOptionRadioGrid(options, QStringLiteral("Aspect:")));
    ASSERT_TRUE(group.isValid());
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(options.at(i).button, nullptr);
        EXPECT_EQ(cellOf(options.at(i).button), QPoint(0, i));
        EXPECT_EQ(options.at(i).button->height(), 20);
    }

    int id = 99;
    EXPECT_FALSE(group.checkedId(id));
    EXPECT_EQ(id, -1);
    group.setCheckedId(42); // no such button
    EXPECT_FALSE(group.checkedId(id));
    group.setCheckedId(12);
    EXPECT_TRUE(group.checkedId(id));
    EXPECT_EQ(id, 12);
    EXPECT_TRUE(options.at(2).button->isChecked());

    RadioGroup empty;
    EXPECT_FALSE(empty.isValid());
    EXPECT_FALSE(empty.checkedId(id));
    EXPECT_EQ(id, -1);
    empty.setCheckedId(1);

    // Entries of a hand-built grid stack up rather than share a cell.
    tab.beginRadioGrid(QStringLiteral("Mode:"));
    QAbstractButton* a = tab.addGridRadioButton(QStringLiteral("a"), 1);
    QAbstractButton* b = tab.addGridRadioButton(QStringLiteral("b"), 2);
    tab.endRadioGrid();
    EXPECT_EQ(cellOf(a), QPoint(0, 0));
    EXPECT_EQ(cellOf(b), QPoint(0, 1));
}

TEST(SettingsTabGrids, ImageOptionGroupChoiceMarksChanged)
{
    SettingsTab tab;
    ImageOptionList list;
    const QVector<QPixmap> images = pictures(3, 40);
    list.add(images[0], QStringLiteral("Letterbox"), 3);
    list.add(images[1], QStringLiteral("Anamorphic"), 1);
    list.add(images[2], QStringLiteral("Center Cut"), 2);
    RadioGroup group(tab.addImageOptionGroup(list, QStringLiteral("Downconversion:")));
    tab.finishLayout();
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    QSignalSpy spy(&tab, &SettingsTab::settingsStatusChanged);
    QAbstractButton* anamorphic = group.buttonGroup()->button(1);
    ASSERT_NE(anamorphic, nullptr);
    QTest::mouseClick(anamorphic, Qt::LeftButton);
    int id = -1;
    EXPECT_TRUE(group.checkedId(id));
    EXPECT_EQ(id, 1);
    EXPECT_EQ(spy.count(), 1);
    auto* frame = qobject_cast<ImageGroupButton*>(anamorphic->parentWidget());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->label()->palette().color(QPalette::WindowText).alpha(), 255);
    group.setCheckedId(3);
    EXPECT_EQ(frame->label()->palette().color(QPalette::WindowText).alpha(), 127);
}

} // namespace
