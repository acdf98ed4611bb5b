#include "kit/framework/SettingsTab.h"
#include "kit/widgets/settings/IpAddressValidator.h"
#include "kit/widgets/settings/NonEmptyValidator.h"
#include "kit/widgets/settings/SharedValidators.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

TEST(SettingsTabStatus, ControlsMarkTheTabChangedOnce)
{
    SettingsTab tab;
    auto* box = static_cast<QAbstractButton*>(tab.addCheckBoxRow(QString(), QStringLiteral("Tally")));
    tab.finishLayout();
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    QSignalSpy spy(&tab, &SettingsTab::settingsStatusChanged);
    EXPECT_EQ(tab.settingsStatus(), SettingsStatus::Unchanged);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(5, box->height() / 2));
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(5, box->height() / 2));
    EXPECT_EQ(tab.settingsStatus(), SettingsStatus::Changed);
    EXPECT_EQ(spy.count(), 1);

    tab.setSettingsStatus(SettingsStatus::Unchanged);
    tab.setSettingsStatus(SettingsStatus::Unchanged);
    EXPECT_EQ(spy.count(), 2);
}

// Status after each step of typing into two validated fields.
TEST(SettingsTabStatus, ValidatedLineEditsMoveBetweenChangedAndInvalid)
{
    SettingsTab tab;
    QLineEdit* name = tab.addLineEditRow(QStringLiteral("Name:"), 0);
    QLineEdit* address = tab.addLineEditRow(QStringLiteral("Address:"), 1);
    QLineEdit* free = tab.addLineEditRow(QStringLiteral("Note:"), 2);
    tab.finishLayout();
    EXPECT_EQ(name->validator(), sharedNonEmptyValidator());
    EXPECT_EQ(address->validator(), sharedIpAddressValidator());
    EXPECT_EQ(free->validator(), nullptr);
    name->setText(QStringLiteral("Desk"));
    address->setText(QStringLiteral("10.0.0.1"));
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&tab));
    QSignalSpy spy(&tab, &SettingsTab::settingsStatusChanged);

    struct Step {
        QLineEdit* edit;
        const char* text;
        int status;
        int emitted;
    };
    const Step steps[] = {
        {name, "", SettingsStatus::Invalid, 1},
        {address, "10.0.", SettingsStatus::Invalid, 1},
        {name, "Rack", SettingsStatus::Invalid, 1},      // the address is still unfinished
        {address, "10.0.0.2", SettingsStatus::Changed, 2},
        {free, "anything", SettingsStatus::Changed, 2},
        {address, "10.0.0.", SettingsStatus::Invalid, 3},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.text);
        step.edit->setFocus();
        step.edit->selectAll();
        QTest::keyClick(step.edit, Qt::Key_Delete);
        QTest::keyClicks(step.edit, QString::fromLatin1(step.text));
        EXPECT_EQ(tab.settingsStatus(), step.status);
        EXPECT_EQ(spy.count(), step.emitted);
    }
}

TEST(SettingsTabStatus, OnlyLineEditsReachTheLineEditCheck)
{
    SettingsTab tab;
    QSignalSpy spy(&tab, &SettingsTab::settingsStatusChanged);
    QMetaObject::invokeMethod(&tab, "onLineEditChanged");
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(tab.settingsStatus(), SettingsStatus::Unchanged);
}

TEST(SettingsTabStatus, EditableSliderAndComboMarkChanged)
{
    SettingsTab tab;
    QWidget* slider = tab.addEditableSliderRow(QStringLiteral("Gain:"), 0, 10, 0, QString(), false, 0);
    auto* combo = static_cast<QComboBox*>(tab.addComboBoxRow(QStringLiteral("Mode:"), 100));
    combo->addItems({QStringLiteral("A"), QStringLiteral("B")});
    tab.finishLayout();
    QSignalSpy spy(&tab, &SettingsTab::settingsStatusChanged);
    QMetaObject::invokeMethod(slider, "onDefaultClicked");
    EXPECT_EQ(tab.settingsStatus(), SettingsStatus::Changed);
    tab.setSettingsStatus(SettingsStatus::Unchanged);
    emit combo->activated(1);
    EXPECT_EQ(tab.settingsStatus(), SettingsStatus::Changed);
    EXPECT_EQ(spy.count(), 3);
}

} // namespace
