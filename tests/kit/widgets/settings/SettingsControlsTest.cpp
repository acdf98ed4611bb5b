#include "kit/framework/SettingsTab.h"
#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/card/CardScrollArea.h"
#include "kit/widgets/settings/ImageGroupButton.h"
#include "kit/widgets/settings/IpAddressValidator.h"
#include "kit/widgets/settings/SettingsComboBox.h"
#include "kit/widgets/settings/SettingsComboBoxDelegate.h"
#include "kit/widgets/settings/SettingsLineEdit.h"
#include "kit/widgets/settings/SettingsSlider.h"
#include "kit/widgets/settings/SettingsSliderValue.h"
#include "tests/kit/widgets/settings/WheelInput.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

namespace {

TEST(SettingsLineEdit, StatusIconFollowsInputAndFocus)
{
    QWidget host;
    auto* edit = new SettingsLineEdit(&host);
    edit->setFixedWidth(260);
    IpAddressValidator validator;
    edit->setValidator(&validator);
    auto* other = new QLineEdit(&host);
    other->move(0, 40);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    QLabel* icon = edit->statusIconLabel();

    struct Step {
        const char* text;
        bool focused;
        bool showStatus;
        bool iconShown;
    };
    const Step steps[] = {
        {"192.168.", true, true, true},   // alert while not acceptable
        {"192.168.1.2", true, true, true}, // OK while focused
        {"192.168.1.2", false, true, false},
        {"192.", false, true, true},
        {"192.", true, false, false},      // never with show-status off
        {"192.168.1.3", true, false, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.text);
        edit->setShowStatus(s.showStatus);
        if (s.focused)
            edit->setFocus();
        else
            other->setFocus();
        edit->setText(QString::fromLatin1(s.text));
        EXPECT_EQ(icon->isVisible(), s.iconShown);
    }
    EXPECT_EQ(icon->size(), QSize(17, 17));
    EXPECT_EQ(icon->pos(), QPoint(edit->width() - 24, (edit->height() - 17) / 2));

    // Leaving the field with an acceptable address hides the icon.
    edit->setShowStatus(true);
    edit->setFocus();
    edit->setText(QStringLiteral("10.0.0.1"));
    ASSERT_TRUE(icon->isVisible());
    other->setFocus();
    EXPECT_FALSE(icon->isVisible());

    edit->setShowStatus(false);
    edit->setStatusIcon(2);
    EXPECT_FALSE(icon->isVisible());
}

TEST(SettingsComboBox, SeparatorRowsAreThinBars)
{
    SettingsComboBox combo(nullptr, 120);
    combo.addItem(QStringLiteral("One"));
    combo.insertSeparator(1);
    combo.addItem(QStringLiteral("Two"));
    auto* delegate = qobject_cast<SettingsComboBoxDelegate*>(combo.view()->itemDelegate());
    ASSERT_NE(delegate, nullptr);
    QStyleOptionViewItem option;
    EXPECT_EQ(delegate->sizeHint(option, combo.model()->index(1, 0)), QSize(0, 5));
    EXPECT_NE(delegate->sizeHint(option, combo.model()->index(0, 0)).height(), 5);
    EXPECT_EQ(combo.size(), QSize(120, 27));
    EXPECT_EQ(combo.focusPolicy(), Qt::NoFocus);

    QImage image(40, 20, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        option.rect = QRect(0, 0, 40, 20);
        delegate->paint(&painter, option, combo.model()->index(1, 0));
    }
    EXPECT_EQ(image.pixel(0, 10), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(20, 1), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(1, 2), qRgb(181, 181, 181));
    EXPECT_EQ(image.pixel(38, 17), qRgb(181, 181, 181));
    EXPECT_EQ(image.pixel(39, 10), qRgb(255, 255, 255));
}

TEST(SettingsSliderValue, ShowsTheSliderValueThroughItsFormat)
{
    SettingsSlider slider(nullptr);
    slider.setRange(0, 255);
    slider.setValue(12);
    SettingsSliderValue value(nullptr);
    value.setSlider(&slider, QStringLiteral("%1 dB"));
    EXPECT_EQ(value.text(), QStringLiteral("12 dB"));
    slider.setValue(200);
    EXPECT_EQ(value.text(), QStringLiteral("200 dB"));
}

TEST(ImageGroupButton, CaptionLooksCheckedOnlyWhenChecked)
{
    QPixmap image(40, 30);
    image.fill(Qt::red);
    struct Case {
        int flat;
        int uncheckedAlpha;
    };
    for (const Case c : {Case{0, 127}, Case{1, 255}}) {
        ImageGroupButton button(image, QStringLiteral("Letterbox"), c.flat, nullptr);
        ASSERT_NE(button.label(), nullptr);
        EXPECT_EQ(button.imageButton()->size(), QSize(40, 30));
        EXPECT_EQ(button.label()->palette().color(QPalette::Active, QPalette::WindowText).alpha(),
                  c.uncheckedAlpha);
        button.imageButton()->setChecked(true);
        EXPECT_EQ(button.label()->palette().color(QPalette::Active, QPalette::WindowText).alpha(), 255);
        EXPECT_EQ(button.label()->palette().color(QPalette::Disabled, QPalette::WindowText),
                  QColor(71, 71, 71, 100));
    }
    ImageGroupButton plain(image, 0, nullptr);
    EXPECT_EQ(plain.label(), nullptr);
}

// A wheel over an unfocused slider or combo box scrolls the settings column instead.
class WheelInColumn : public ::testing::Test {
protected:
    void SetUp() override
    {
        tab.resize(620, 250);
        tab.addSection(QStringLiteral("Settings"));
        slider = tab.addSliderRow(QStringLiteral("Gain:"), QStringLiteral("%1"));
        slider->setRange(0, 100);
        slider->setValue(50);
        combo = static_cast<SettingsComboBox*>(tab.addComboBoxRow(QStringLiteral("Mode:"), 150));
        combo->addItems({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        combo->setCurrentIndex(1);
        for (int i = 0; i < 20; ++i)
            tab.addTextRow(QStringLiteral("Row %1:").arg(i), QStringLiteral("text"));
        tab.finishLayout();
        tab.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&tab));
        ASSERT_GT(tab.scrollArea()->verticalScrollBar()->maximum(), 0);
    }

    SettingsTab tab;
    QAbstractSlider* slider = nullptr;
    SettingsComboBox* combo = nullptr;
};

TEST_F(WheelInColumn, UnfocusedControlsPassTheWheelOn)
{
    QScrollBar* bar = tab.scrollArea()->verticalScrollBar();
    for (QWidget* control : {static_cast<QWidget*>(slider), static_cast<QWidget*>(combo)}) {
        bar->setValue(0);
        wheelOver(control);
        EXPECT_GT(bar->value(), 0) << control->metaObject()->className();
    }
    EXPECT_EQ(slider->value(), 50);
    EXPECT_EQ(combo->currentIndex(), 1);
}

TEST_F(WheelInColumn, FocusedSliderTakesTheWheel)
{
    QScrollBar* bar = tab.scrollArea()->verticalScrollBar();
    slider->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(slider->hasFocus());
    bar->setValue(0);
    wheelOver(slider);
    EXPECT_NE(slider->value(), 50);
    EXPECT_EQ(bar->value(), 0);
}

} // namespace
