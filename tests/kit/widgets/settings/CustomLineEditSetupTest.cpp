#include "kit/widgets/CustomLineEdit.h"
#include "kit/widgets/settings/CustomLineEditSetup.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

namespace {

TEST(CustomLineEditSetup, ReportsOnlyFinishedEditsThatChangedTheText)
{
    QWidget host;
    auto* edit = new CustomLineEdit(&host);
    edit->setText(QStringLiteral("Camera"));
    setUpCustomLineEdit(edit);
    auto* other = new QLineEdit(&host);
    other->move(0, 40);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    QSignalSpy spy(edit, &CustomLineEdit::editingFinishedWithNewText);

    struct Step {
        const char* typed; // appended; null: only focus in and out
        int reports;
    };
    const Step steps[] = {{nullptr, 0}, {" 2", 1}, {nullptr, 1}, {"", 1}, {"x", 2}};
    for (const Step& step : steps) {
        edit->setFocus();
        if (step.typed) {
            QTest::keyClick(edit, Qt::Key_End);
            QTest::keyClicks(edit, QString::fromLatin1(step.typed));
        }
        QTest::keyClick(edit, Qt::Key_Return);
        other->setFocus();
        EXPECT_EQ(spy.count(), step.reports) << (step.typed ? step.typed : "(none)");
        EXPECT_FALSE(edit->isEditing());
    }
    // A text set by the program is the new reference for the next edit.
    edit->setText(QStringLiteral("Desk"));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    other->setFocus();
    EXPECT_EQ(spy.count(), 2);
}

} // namespace
