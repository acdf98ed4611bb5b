#include "kit/framework/SettingsTab.h"
#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/settings/LinkBar.h"
#include "kit/widgets/settings/SettingsSlider.h"
#include "kit/widgets/settings/SettingsSliderLabel.h"
#include "kit/widgets/settings/SettingsSliderWithEditableValue.h"
#include "kit/widgets/settings/SliderLink.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <cmath>
#include <QTest>

namespace {

using Slider = SettingsSliderWithEditableValue;

// Two editable slider rows of a shown tab, linked.
class LinkedSliders : public ::testing::Test {
protected:
    void build(double aMin, double aMax, double bMin, double bMax, int mode)
    {
        tab = std::make_unique<SettingsTab>();
        tab->resize(620, 400);
        tab->addSection(QStringLiteral("Levels"));
        a = static_cast<Slider*>(tab->addEditableSliderRow(QStringLiteral("Left:"), aMin, aMax, 0,
                                                           QString(), false, 0));
        b = static_cast<Slider*>(tab->addEditableSliderRow(QStringLiteral("Right:"), bMin, bMax, 0,
                                                           QString(), false, 0));
        link = tab->linkSliders(a, b, mode);
        tab->finishLayout();
        tab->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(tab.get()));
        ASSERT_NE(link, nullptr);
    }

    void start(double aValue, double bValue)
    {
        a->setValue(aValue);
        b->setValue(bValue);
        QTest::mouseClick(link->linkButton(), Qt::LeftButton);
        ASSERT_TRUE(link->isLinked());
    }

    static void typeInto(Slider* slider, double value)
    {
        QLineEdit* editor = slider->editor();
        editor->setFocus();
        editor->selectAll();
        QTest::keyClicks(editor, QString::number(value));
        QTest::keyClick(editor, Qt::Key_Return);
        // A pulled-back leader announces its corrected value once the event loop turns.
        QTest::qWait(0);
    }

    std::unique_ptr<SettingsTab> tab;
    Slider* a = nullptr;
    Slider* b = nullptr;
    SliderLink* link = nullptr;
};

TEST_F(LinkedSliders, ModesFollowTheLeadingSlider)
{
    struct Case {
        const char* name;
        int mode;
        double aMin, aMax, bMin, bMax;
        double aStart, bStart, aTyped;
        double aEnd, bEnd;
    };
    const Case cases[] = {
        {"same change, follower overshoots", SliderLink::SameChange, 0, 100, 0, 100, 40, 90, 60, 50,
         100},
        {"same change within range", SliderLink::SameChange, 0, 100, 0, 100, 40, 50, 30, 30, 40},
        {"proportional", SliderLink::Proportional, 0, 10, 0, 100, 5, 50, 7, 7, 70},
        {"proportional, leader clamped", SliderLink::Proportional, 0, 20, 0, 100, 5, 50, 18, 15,
         100},
        {"same value, clamped", SliderLink::SameValue, 0, 200, 0, 100, 10, 10, 150, 150, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        build(c.aMin, c.aMax, c.bMin, c.bMax, c.mode);
        start(c.aStart, c.bStart);
        QSignalSpy aValues(a, qOverload<double>(&Slider::valueChanged));
        QSignalSpy bValues(b, qOverload<double>(&Slider::valueChanged));
        QSignalSpy bPlain(b, qOverload<>(&Slider::valueChanged));
        typeInto(a, c.aTyped);
        EXPECT_DOUBLE_EQ(a->currentValue(), c.aEnd);
        EXPECT_DOUBLE_EQ(b->currentValue(), c.bEnd);
        // Listeners hear the values the sliders end at, the leader's correction included.
        ASSERT_GE(aValues.count(), 1);
        EXPECT_DOUBLE_EQ(aValues.last().at(0).toDouble(), c.aEnd);
        ASSERT_GE(bValues.count(), 1);
        EXPECT_DOUBLE_EQ(bValues.last().at(0).toDouble(), c.bEnd);
        EXPECT_GE(bPlain.count(), 1);
    }
}

TEST_F(LinkedSliders, FollowingWorksBothWaysOnlyWhileLinked)
{
    build(0, 100, 0, 100, SliderLink::SameValue);
    a->setValue(10);
    typeInto(b, 30);
    EXPECT_DOUBLE_EQ(a->currentValue(), 10.0);
    start(10, 30);
    typeInto(b, 70);
    EXPECT_DOUBLE_EQ(a->currentValue(), 70.0);
    // Keys on the focused slider move its partner too.
    QTest::mouseClick(a->slider(), Qt::LeftButton, Qt::NoModifier, a->slider()->rect().center());
    const double before = a->currentValue();
    QTest::keyClick(a->slider(), Qt::Key_Right);
    EXPECT_DOUBLE_EQ(a->currentValue(), before + 1);
    EXPECT_DOUBLE_EQ(b->currentValue(), before + 1);
}

TEST_F(LinkedSliders, ProportionalWithAnEmptyRangeDoesNothing)
{
    build(5, 5, 0, 100, SliderLink::Proportional);
    start(5, 40);
    typeInto(b, 60);
    EXPECT_DOUBLE_EQ(a->currentValue(), 5.0);
    EXPECT_DOUBLE_EQ(b->currentValue(), 60.0);
    EXPECT_FALSE(std::isnan(a->currentValue()));
}

TEST_F(LinkedSliders, BracketFollowsTheRows)
{
    build(0, 100, 0, 100, SliderLink::SameValue);
    EXPECT_TRUE(link->isVisible());
    const int imageHeight = link->linkImageHeight();
    const QPoint anchorA = a->mapTo(tab->content(), QPoint(a->width() - a->unitsLabel()->width(),
                                                           a->height() / 2));
    const QPoint anchorB = b->mapTo(tab->content(), QPoint(b->width() - b->unitsLabel()->width(),
                                                           b->height() / 2));
    const int distance = anchorB.y() - anchorA.y();
    EXPECT_EQ(distance, 38); // two slider rows, no spacer between them
    const int bar = qMax(0, (distance - imageHeight) / 2) + 2;
    EXPECT_EQ(link->upperBar()->height(), bar);
    EXPECT_EQ(link->size(), QSize(26, 2 * bar + imageHeight));
    EXPECT_EQ(link->pos(), QPoint(anchorA.x() + 32, anchorA.y()));

    tab->setRowVisible(b, false);
    QTest::qWait(0);
    EXPECT_FALSE(link->isVisible());
    tab->setRowVisible(b, true);
    QTest::qWait(0);
    EXPECT_TRUE(link->isVisible());
    EXPECT_EQ(link->pos(), QPoint(anchorA.x() + 32, anchorA.y()));
}

TEST(SliderLinkBase, FitHeightAndToggle)
{
    SliderLinkBase base(nullptr);
    // The kit's link image is 20 pixels high; the bracket holds it between two bars.
    ASSERT_EQ(base.linkImageHeight(), 20);
    const struct {
        int distance, bar, frameHeight;
    } rows[] = {
        {40, 12, 44},  // two rows 40 apart
        {41, 12, 44},  // an odd remainder is dropped
        {60, 22, 64},
        {20, 2, 24},   // the image alone spans the rows
        {0, 2, 24},    // never shorter than the image and two thin bars
    };
    for (const auto& row : rows) {
        base.fitHeight(row.distance);
        EXPECT_EQ(base.upperBar()->height(), row.bar) << "distance " << row.distance;
        EXPECT_EQ(base.lowerBar()->height(), row.bar) << "distance " << row.distance;
        EXPECT_EQ(base.size(), QSize(26, row.frameHeight)) << "distance " << row.distance;
    }

    QSignalSpy spy(&base, &SliderLinkBase::onSliderLinkClicked);
    base.setLinked(true);
    EXPECT_TRUE(base.isLinked());
    EXPECT_TRUE(base.linkButton()->isChecked());
    EXPECT_TRUE(base.upperBar()->isLinked());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_TRUE(spy.at(0).at(0).toBool());
}

} // namespace
