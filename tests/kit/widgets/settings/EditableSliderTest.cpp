#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/settings/SettingsSlider.h"
#include "kit/widgets/settings/SettingsSliderLabel.h"
#include "kit/widgets/settings/SettingsSliderWithEditableValue.h"
#include "kit/widgets/FlatImageButton.h"

#include <gtest/gtest.h>

#include <QDoubleValidator>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>

namespace {

class EditableSlider : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.resize(600, 100);
        control = new SettingsSliderWithEditableValue(&host);
        control->setDecimals(2);
        control->setMinimum(0);
        control->setMaximum(100);
        other = new QLineEdit(&host);
        other->move(0, 50);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    }

    // Types into the value field and commits with the given key (or by leaving the field).
    void type(const QString& text, Qt::Key commit)
    {
        QLineEdit* editor = control->editor();
        editor->setFocus();
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClicks(editor, text);
        if (commit == Qt::Key_Tab)
            other->setFocus();
        else
            QTest::keyClick(editor, commit);
    }

    QWidget host;
    SettingsSliderWithEditableValue* control = nullptr;
    QLineEdit* other = nullptr;
};

TEST_F(EditableSlider, CommitFixesUpTypedText)
{
    struct Case {
        const char* typed;
        Qt::Key commit;
        const char* shown;
        double value;
    };
    control->setValue(42);
    const Case cases[] = {
        {"150", Qt::Key_Return, "100.00", 100.0},
        {"12.5", Qt::Key_Enter, "12.5", 12.5},
        {"-", Qt::Key_Tab, "12.50", 12.5},
        {".", Qt::Key_Return, "12.50", 12.5},
        {"", Qt::Key_Tab, "12.50", 12.5},
        {"1e", Qt::Key_Tab, "12.50", 12.5}, // not a number yet

        {"33", Qt::Key_Tab, "33", 33.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        type(QString::fromLatin1(c.typed), c.commit);
        EXPECT_EQ(control->editor()->text(), QString::fromLatin1(c.shown));
        EXPECT_DOUBLE_EQ(control->currentValue(), c.value);
        EXPECT_EQ(control->slider()->value(), scaleUpRounded(c.value, 2));
    }
}

TEST_F(EditableSlider, BelowTheBottomShowsTheBottom)
{
    control->setMinimum(-10);
    type(QStringLiteral("-20"), Qt::Key_Return);
    EXPECT_EQ(control->editor()->text(), QStringLiteral("-10.00"));
    EXPECT_DOUBLE_EQ(control->currentValue(), -10.0);
}

TEST_F(EditableSlider, SliderStepsShowAsDecimalsAndEmitOnce)
{
    QSignalSpy withValue(control, qOverload<double>(&SettingsSliderWithEditableValue::valueChanged));
    QSignalSpy plain(control, qOverload<>(&SettingsSliderWithEditableValue::valueChanged));
    control->slider()->setValue(1234);
    EXPECT_EQ(control->editor()->text(), QStringLiteral("12.34"));
    ASSERT_EQ(withValue.count(), 1);
    EXPECT_DOUBLE_EQ(withValue.at(0).at(0).toDouble(), 12.34);
    EXPECT_EQ(plain.count(), 1);

    // Keys reach the slider once a click gave it the focus.
    QTest::mouseClick(control->slider(), Qt::LeftButton, Qt::NoModifier,
                      control->slider()->rect().center());
    ASSERT_TRUE(control->slider()->hasFocus());
    const int before = control->slider()->value();
    QTest::keyClick(control->slider(), Qt::Key_Right);
    EXPECT_EQ(control->slider()->value(), before + 1);
}

TEST_F(EditableSlider, ShiftByStopsAtTheLimitsWithOvershoot)
{
    struct Case {
        double start, delta;
        bool within;
        double overshoot, end;
    };
    const Case cases[] = {
        {98, 5, false, 3, 100},
        {2, -5, false, -3, 0},
        {40, 20, true, 0, 60},
    };
    for (const Case& c : cases) {
        control->setValue(c.start);
        double overshoot = 0;
        EXPECT_EQ(control->shiftBy(c.delta, overshoot), c.within);
        EXPECT_DOUBLE_EQ(overshoot, c.overshoot);
        EXPECT_DOUBLE_EQ(control->currentValue(), c.end);
    }
}

// The editor already holds the typed text when the edit is committed; the previous value must
// be the one before it.
TEST_F(EditableSlider, PreviousValueIsTheLastCommittedOne)
{
    control->setValue(40);
    type(QStringLiteral("65"), Qt::Key_Return);
    EXPECT_DOUBLE_EQ(control->currentValue(), 65.0);
    EXPECT_DOUBLE_EQ(control->previousValue(), 40.0);
    control->slider()->setValue(7000);
    EXPECT_DOUBLE_EQ(control->previousValue(), 65.0);
}

// The default is in displayed units: 50 with two decimals is 50.00, not 0.50.
TEST_F(EditableSlider, DefaultButtonRestoresTheDefaultValue)
{
    control->setDefaultEnabled(true);
    control->setDefaultValue(50);
    control->setValue(10);
    QSignalSpy spy(control, qOverload<double>(&SettingsSliderWithEditableValue::valueChanged));
    QTest::mouseClick(control->defaultButton(), Qt::LeftButton);
    EXPECT_EQ(control->editor()->text(), QStringLiteral("50.00"));
    EXPECT_EQ(control->slider()->value(), 5000);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_DOUBLE_EQ(spy.at(0).at(0).toDouble(), 50.0);
}

TEST_F(EditableSlider, UnitsAndDefaultFramesFollowTheirSettings)
{
    EXPECT_FALSE(control->unitsFrame()->isVisible());
    EXPECT_FALSE(control->defaultFrame()->isVisible());
    control->setUnits(QStringLiteral("dB"));
    EXPECT_TRUE(control->unitsFrame()->isVisible());
    EXPECT_EQ(control->unitsLabel()->width(),
              QFontMetrics(control->unitsLabel()->font()).horizontalAdvance(QStringLiteral("dB")));
    control->setUnits(QString());
    EXPECT_FALSE(control->unitsFrame()->isVisible());
    control->setDefaultEnabled(true);
    EXPECT_TRUE(control->defaultFrame()->isVisible());
    EXPECT_TRUE(control->defaultButton()->isEnabled());
    control->setDefaultEnabled(false);
    EXPECT_FALSE(control->defaultFrame()->isVisible());
    EXPECT_EQ(control->height(), 35);
}

TEST_F(EditableSlider, SetValueClampsAndRoundsHalfUp)
{
    control->setValue(250);
    EXPECT_DOUBLE_EQ(control->currentValue(), 100.0);
    control->setMinimum(-1);
    control->setValue(-0.125);
    EXPECT_EQ(control->slider()->value(), scaleUpRounded(-0.125, 2));
    EXPECT_EQ(control->slider()->value(), -12);
}

// Limits between two steps: the slider stops at the last step inside the range.
TEST_F(EditableSlider, SliderStepsStayInsideTheRange)
{
    control->setDecimals(0);
    control->setMinimum(-2.5);
    control->setMaximum(10.5);
    EXPECT_EQ(control->slider()->minimum(), -2);
    EXPECT_EQ(control->slider()->maximum(), 10);
    control->setDecimals(1);
    control->setMaximum(0.25);
    EXPECT_EQ(control->slider()->maximum(), 2);
    control->slider()->setValue(control->slider()->maximum());
    EXPECT_LE(control->currentValue(), 0.25);
    control->setMaximum(100);
    EXPECT_EQ(control->slider()->maximum(), 1000);
}

TEST_F(EditableSlider, ChangingTheDecimalsKeepsTheValue)
{
    control->setValue(12.5);
    control->setDecimals(1);
    EXPECT_EQ(control->editor()->text(), QStringLiteral("12.5"));
    EXPECT_TRUE(control->editor()->hasAcceptableInput());
    EXPECT_EQ(control->slider()->value(), 125);
    EXPECT_EQ(control->slider()->maximum(), 1000);
    control->setDecimals(0);
    EXPECT_EQ(control->editor()->text(), QStringLiteral("13"));
    EXPECT_EQ(control->slider()->maximum(), 100);
}

// A comma read back by toDouble gives 0, so the field refuses it even where the user's
// locale writes decimals with one.
TEST(EditableSliderLocale, FieldParsesInTheCLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    SettingsSliderWithEditableValue control;
    QLocale::setDefault(QLocale::c());
    const QValidator* validator = control.editor()->validator();
    ASSERT_NE(validator, nullptr);
    struct Case {
        const char* text;
        QValidator::State state;
    } const cases[] = {
        {"12.34", QValidator::Acceptable},
        {"12,5", QValidator::Invalid},
        {"1,000", QValidator::Invalid},
    };
    for (const Case& c : cases) {
        QString text = QString::fromLatin1(c.text);
        int position = text.size();
        EXPECT_EQ(validator->validate(text, position), c.state) << c.text;
    }
}

} // namespace
