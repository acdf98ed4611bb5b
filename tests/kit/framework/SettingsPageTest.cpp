#include "kit/framework/SettingsPage.h"
#include "kit/framework/SettingsTab.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/card/CardFooter.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QStringList>
#include <QTest>

namespace {

class RecordingPage : public SettingsPage {
public:
    explicit RecordingPage(QStringList* log) : log_(log)
    {
        connect(this, &SettingsPage::closePage, [this] { log_->append(QStringLiteral("close")); });
    }

protected:
    void commitChanges() override { log_->append(QStringLiteral("commit")); }
    void revertChanges() override { log_->append(QStringLiteral("revert")); }

private:
    QStringList* log_;
};

class SettingsPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        page = new RecordingPage(&log);
        page->setParent(&window);
        window.resize(620, 500);
        page->resize(620, 500);
        first = new SettingsTab;
        second = new SettingsTab;
        ASSERT_EQ(page->addTab(first, QStringLiteral("Video")), 0);
        ASSERT_EQ(page->addTab(second, QStringLiteral("Audio")), 1);
        EXPECT_EQ(page->addTab(new QWidget, QStringLiteral("Plain")), -1);
    }
    bool saveEnabled() const { return page->footer()->saveButton()->isEnabled(); }

    QWidget window;
    QStringList log;
    RecordingPage* page = nullptr;
    SettingsTab* first = nullptr;
    SettingsTab* second = nullptr;
};

TEST_F(SettingsPageTest, AnInvalidTabDisablesSaveUntilEveryTabIsValid)
{
    EXPECT_TRUE(saveEnabled());
    first->setSettingsStatus(SettingsStatus::Changed);
    second->setSettingsStatus(SettingsStatus::Invalid);
    EXPECT_FALSE(saveEnabled());
    first->setSettingsStatus(SettingsStatus::Unchanged);
    EXPECT_FALSE(saveEnabled());
    second->setSettingsStatus(SettingsStatus::Changed);
    EXPECT_TRUE(saveEnabled());
}

TEST_F(SettingsPageTest, CancelRevertsThenCloses)
{
    page->footer()->cancelButton()->click();
    EXPECT_EQ(log, QStringList({"revert", "close"}));
}

TEST_F(SettingsPageTest, SaveCommitsTheTextStillBeingTypedBeforeCommitChanges)
{
    auto* edit = new QLineEdit(first);
    QObject::connect(edit, &QLineEdit::editingFinished, [&] { log.append("edited " + edit->text()); });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->show();
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }));
    QTest::keyClicks(edit, QStringLiteral("Studio"));

    page->footer()->saveButton()->click();
    EXPECT_EQ(log, QStringList({"edited Studio", "commit", "close"}));
}

} // namespace
