#include "kit/framework/FirmwareUpdateRow.h"
#include "kit/framework/SettingsTab.h"
#include "kit/widgets/CardPushButton.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

namespace {

QStringList texts(const QWidget& row)
{
    QStringList all;
    for (const QLabel* label : row.findChildren<QLabel*>())
        if (!label->text().isEmpty())
            all << label->text();
    return all;
}

TEST(FirmwareUpdateRow, ShowsVersionsAndOffersTheUpdate)
{
    struct Case {
        const char* name;
        const char* device;
        bool available;
        bool incompatible;
        int height;
        bool button;
        QStringList shown;
    };
    const Case cases[] = {
        {"current", "3.2", false, false, 31, false, {"Software Version:", "3.2"}},
        {"unknown version", "", false, false, 31, false, {"Software Version:", "Unknown"}},
        {"update", "3.2", true, false, 62, true,
         {"Available Software Version:", "4.0 is available for update", "Device Software Version:",
          "3.2"}},
        {"incompatible", "3.2", true, true, 62, false,
         {"Available Software Version:", "4.0", "This software is not compatible with your device.",
          "Device Software Version:", "3.2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FirmwareUpdateRow row(QString::fromLatin1(c.device), QStringLiteral("4.0"), c.available,
                              c.incompatible, nullptr);
        EXPECT_EQ(row.height(), c.height);
        EXPECT_EQ(row.updateButton() != nullptr, c.button);
        QStringList shown = texts(row);
        QStringList expected = c.shown;
        shown.sort();
        expected.sort();
        EXPECT_EQ(shown, expected);
    }
}

TEST(FirmwareUpdateRow, UpdateNowEmitsUpdateFirmware)
{
    SettingsTab tab;
    FirmwareUpdateRow* row =
        tab.addFirmwareUpdateRow(QStringLiteral("1.0"), QStringLiteral("2.0"), 1, true);
    tab.finishLayout();
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    ASSERT_NE(row->updateButton(), nullptr);
    EXPECT_EQ(row->updateButton()->geometry(), QRect(476, 3, 114, 25));
    QSignalSpy spy(row, &FirmwareUpdateRow::updateFirmware);
    QTest::mouseClick(row->updateButton(), Qt::LeftButton);
    EXPECT_EQ(spy.count(), 1);

    // An unsupported package is shown but not offered.
    FirmwareUpdateRow* refused =
        tab.addFirmwareUpdateRow(QStringLiteral("1.0"), QStringLiteral("2.0"), 1, false);
    EXPECT_EQ(refused->updateButton(), nullptr);
}

} // namespace
