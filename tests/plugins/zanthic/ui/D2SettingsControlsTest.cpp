#include "kit/widgets/settings/SharedValidators.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/ui/D2FirmwareUpdateRow.h"
#include "plugins/zanthic/ui/D2SettingsCheckBox.h"
#include "plugins/zanthic/ui/D2SettingsLabel.h"
#include "plugins/zanthic/ui/D2SettingsLineEdit.h"
#include "plugins/zanthic/ui/D2SettingsPushButton.h"
#include "plugins/zanthic/ui/D2SettingsRadioButton.h"
#include "plugins/zanthic/ui/D2SettingsTab.h"
#include "plugins/zanthic/ui/MaxUtf8LengthValidator.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QLabel>
#include <QLayout>
#include <QSignalSpy>
#include <QTest>

#include <utility>

namespace {

using namespace TWG::Zanthic;

// --- D2SettingsLineEdit ----------------------------------------------------------------------

struct StatusCase {
    const char* name;
    int kind;             // -1: made by the row builder with kind 3 (no validator)
    bool showStatus;      // after construction
    const char* text;
    bool focused;
    int status;           // expected icon: 0 none, 1 OK, 2 alert
};

// A window with a field and a second widget to take the focus away.
struct FieldHost {
    QWidget window;
    D2SettingsLineEdit* field = new D2SettingsLineEdit(&window);
    QLineEdit* other = new QLineEdit(&window);
    FieldHost()
    {
        other->move(0, 40);
        window.show();
        window.activateWindow();
    }
};

int shownStatus(D2SettingsLineEdit* field)
{
    if (field->statusIconLabel()->isHidden())
        return 0;
    return field->status();
}

TEST(D2SettingsLineEdit, StatusIconByValidatorFocusAndText)
{
    const StatusCase cases[] = {
        {"no validator, focused: OK", D2SettingsLineEdit::NoValidator, true, "x", true, 1},
        {"no validator, left: none", D2SettingsLineEdit::NoValidator, true, "x", false, 0},
        {"non-empty, empty text: alert", D2SettingsLineEdit::NonEmpty, true, "", true, 2},
        {"non-empty, empty and left: alert", D2SettingsLineEdit::NonEmpty, true, "", false, 2},
        {"non-empty, text and focused: OK", D2SettingsLineEdit::NonEmpty, true, "a", true, 1},
        {"address, bad: alert", D2SettingsLineEdit::IpAddress, true, "1.2.3", true, 2},
        {"address, good and left: none", D2SettingsLineEdit::IpAddress, true, "10.0.0.1", false, 0},
        {"port 65535 is ours: OK", D2SettingsLineEdit::Port, true, "65535", true, 1},
        {"port 80 is ours too: OK", D2SettingsLineEdit::Port, true, "80", true, 1},
        {"status off never shows", D2SettingsLineEdit::NonEmpty, false, "", true, 0},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.name);
        FieldHost host;
        host.field->setText(QStringLiteral("seed"));
        if (c.kind != D2SettingsLineEdit::NoValidator)
            host.field->setValidatorKind(c.kind);
        host.field->setShowStatus(c.showStatus);
        host.field->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return host.field->hasFocus(); }));
        host.field->setText(QString::fromUtf8(c.text));
        if (!c.focused) {
            host.other->setFocus();
            ASSERT_TRUE(QTest::qWaitFor([&] { return host.other->hasFocus(); }));
        }
        EXPECT_EQ(shownStatus(host.field), c.status);
        // The text stops short of a shown icon only.
        const QString padding = QStringLiteral("padding-right: %1px").arg(c.status ? 18 : 1);
        EXPECT_TRUE(host.field->styleSheet().contains(padding)) << host.field->styleSheet().toStdString();
    }
}

TEST(D2SettingsLineEdit, KindsSetTheValidatorAndTheStatusFlag)
{
    D2SettingsLineEdit field;
    EXPECT_TRUE(field.showsStatus()) << "a new field shows its status";
    EXPECT_EQ(field.validator(), nullptr);
    field.setValidatorKind(D2SettingsLineEdit::NonEmpty);
    EXPECT_EQ(static_cast<const void*>(field.validator()), static_cast<const void*>(sharedNonEmptyValidator()));
    field.setValidatorKind(D2SettingsLineEdit::IpAddress);
    EXPECT_EQ(static_cast<const void*>(field.validator()), static_cast<const void*>(sharedIpAddressValidator()));
    field.setValidatorKind(D2SettingsLineEdit::Port);
    EXPECT_EQ(static_cast<const void*>(field.validator()), static_cast<const void*>(sharedD2PortValidator()));
    field.setValidatorKind(7);
    EXPECT_EQ(field.validator(), nullptr);
    EXPECT_FALSE(field.showsStatus());
    EXPECT_EQ(field.size(), QSize(200, 24));
}

// --- D2SettingsTab rows ----------------------------------------------------------------------

class BareTab : public D2SettingsTab {
public:
    void revertSettings() override {}
    void applySettings() override {}
};

TEST(D2SettingsTab, SeparatorsStandOnlyBetweenSectionsAndRowsJoinTheirSection)
{
    BareTab tab;
    QWidget* loose = tab.addRow(QStringLiteral("Before:"));
    tab.addSection(QString());
    QWidget* a = tab.addRow(QStringLiteral("A:"));
    tab.addSection(QStringLiteral("Second"));
    QWidget* b = tab.addRow(QStringLiteral("B:"));
    QWidget* c = tab.addRow(QStringLiteral("C:"));
    tab.addSection(QStringLiteral("Third"));
    tab.finishLayout();

    ASSERT_EQ(tab.sections().size(), 3);
    EXPECT_FALSE(tab.sections()[0]->separator->isHidden());
    EXPECT_FALSE(tab.sections()[1]->separator->isHidden());
    EXPECT_TRUE(tab.sections()[2]->separator->isHidden()) << "nothing follows the last section";
    EXPECT_EQ(tab.sections()[0]->height(), 17);
    EXPECT_EQ(tab.sections()[1]->height(), 37);
    EXPECT_EQ(tab.sections()[1]->rows, (QList<QWidget*>{b, c}));

    // Each row sits inside its own section: after the section's head, before its separator.
    auto* layout = tab.content()->layout();
    EXPECT_EQ(layout->indexOf(loose), 0);
    EXPECT_LT(layout->indexOf(tab.sections()[0]), layout->indexOf(a));
    EXPECT_LT(layout->indexOf(a), layout->indexOf(tab.sections()[0]->separator));
    EXPECT_LT(layout->indexOf(c), layout->indexOf(tab.sections()[1]->separator));
    EXPECT_EQ(layout->indexOf(b) + 1, layout->indexOf(c));
}

TEST(D2SettingsTab, RadioGroupGeometryAndChecking)
{
    BareTab tab;
    tab.addSection(QString());
    QButtonGroup* group = tab.addRadioGroup({{5, QStringLiteral("One")}, {0, QStringLiteral("Two")}, {255, QStringLiteral("Three")}},
                                            QStringLiteral("Pick:"));
    ASSERT_EQ(group->buttons().size(), 3);
    EXPECT_EQ(group->button(5)->pos(), QPoint(234, 4));
    EXPECT_EQ(group->button(0)->pos(), QPoint(234, 28));
    EXPECT_EQ(group->button(255)->pos(), QPoint(234, 52));
    EXPECT_EQ(group->button(5)->parentWidget()->height(), 80);
    D2SettingsTab::setRadioGroupChecked(group, 255);
    EXPECT_TRUE(group->button(255)->isChecked());
    D2SettingsTab::setRadioGroupChecked(group, 7); // no such id: nothing changes
    EXPECT_TRUE(group->button(255)->isChecked());
    D2SettingsTab::setRadioGroupChecked(nullptr, 0);

    const auto pair = tab.addPushButtonPair(QString(), QStringLiteral("Import"), QStringLiteral("Delete"));
    EXPECT_EQ(pair.first->geometry(), QRect(234, 4, 95, 24));
    EXPECT_EQ(pair.second->geometry(), QRect(339, 4, 95, 24));
}

// --- MaxUtf8LengthValidator ------------------------------------------------------------------

TEST(MaxUtf8LengthValidator, CountsBytesAndRefusesOuterSpace)
{
    const QString euro = QString::fromUtf8("\xE2\x82\xAC"); // three bytes
    struct Case {
        const char* name;
        int flags;
        QString text;
        QValidator::State state;
    } cases[] = {
        {"empty allowed", 1, QString(), QValidator::Acceptable},
        {"empty not allowed", 0, QString(), QValidator::Intermediate},
        {"63 ASCII bytes", 1, QString(63, QLatin1Char('a')), QValidator::Acceptable},
        {"64 ASCII bytes", 1, QString(64, QLatin1Char('a')), QValidator::Invalid},
        {"21 euro signs, 63 bytes", 1, euro.repeated(21), QValidator::Acceptable},
        {"22 euro signs, 66 bytes", 1, euro.repeated(22), QValidator::Invalid},
        {"62 ASCII and a euro sign, 65 bytes", 1, QString(62, QLatin1Char('a')) + euro, QValidator::Invalid},
        {"leading space", 1, QStringLiteral(" a"), QValidator::Intermediate},
        {"trailing space", 1, QStringLiteral("a "), QValidator::Intermediate},
        {"trailing space allowed", 4, QStringLiteral("a "), QValidator::Acceptable},
        {"leading space allowed", 2, QStringLiteral(" a"), QValidator::Acceptable},
        {"leading allowed, trailing not", 2, QStringLiteral(" a "), QValidator::Intermediate},
        {"a space inside", 1, QStringLiteral("a b"), QValidator::Acceptable},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        MaxUtf8LengthValidator v(64, c.flags);
        int pos = 0;
        EXPECT_EQ(v.validate(c.text, pos), c.state);
    }
}

TEST(MaxUtf8LengthValidator, FixupTrimsTheSidesNotAllowed)
{
    const struct {
        int flags;
        const char* out;
    } cases[] = {{0, "a b"}, {1, "a b"}, {2, "  a b"}, {4, "a b \t"}, {6, "  a b \t"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        MaxUtf8LengthValidator v(64, c.flags);
        QString text = QStringLiteral("  a b \t");
        v.fixup(text);
        EXPECT_EQ(text, QString::fromLatin1(c.out));
    }
    EXPECT_EQ(sharedDeviceNameValidator()->byteLimit(), 63);
    EXPECT_EQ(sharedDeviceNameValidator()->flags(), MaxUtf8LengthValidator::AllowEmpty);
}

// --- D2FirmwareUpdateRow ---------------------------------------------------------------------

struct RowInfo : FirmwareUpdateInfo {
    bool available = false, supported = true;
    QString release, build, packagedRelease = QStringLiteral("7.6"), packagedBuild = QStringLiteral("0000B6F1");
    bool isFirmwareUpdateAvailable() override { return available; }
    bool isSoftwareSupported() override { return supported; }
    QString releaseVersion() override { return release; }
    QString availableSoftwareVersion() override { return packagedRelease; }
    QString buildId() override { return build; }
    QString availableFirmwareVersion() override { return packagedBuild; }
};

TEST(D2FirmwareUpdateRow, TextsHeightAndUpdateButtonByState)
{
    const struct {
        const char* name;
        const char* release;
        const char* build;
        bool available, supported;
        const char* installed;
        const char* packaged; // null: no second line
        bool button, alert;
    } cases[] = {
        {"current, build hidden", "1.2", "ABC", false, true, "Version 1.2", nullptr, false, false},
        {"no release", "", "ABC", false, true, "Unknown", nullptr, false, false},
        {"update, with builds", "1.2", "ABC", true, true, "Version 1.2, Build abc", "Version 7.6, Build 0000b6f1", true, false},
        {"update, no build", "1.2", "", true, true, "Version 1.2", "Version 7.6, Build 0000b6f1", true, false},
        {"update, unknown release", "", "ABC", true, true, "Unknown, Build abc", "Version 7.6, Build 0000b6f1", true, false},
        {"not compatible", "1.2", "ABC", true, false, "Version 1.2", "Version 7.6, Build 0000b6f1 is not compatible", false,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RowInfo info;
        info.release = QString::fromLatin1(c.release);
        info.build = QString::fromLatin1(c.build);
        info.available = c.available;
        info.supported = c.supported;
        D2FirmwareUpdateRow row(nullptr, info);
        EXPECT_EQ(row.installedLabel()->text(), QString::fromLatin1(c.installed));
        EXPECT_EQ(row.height(), c.packaged ? 64 : 32);
        if (c.packaged) {
            ASSERT_NE(row.availableLabel(), nullptr);
            EXPECT_EQ(row.availableLabel()->text(), QString::fromLatin1(c.packaged));
            EXPECT_EQ(row.availableLabel()->pos(), QPoint(234, 36));
        } else {
            EXPECT_EQ(row.availableLabel(), nullptr);
        }
        EXPECT_EQ(row.updateButton() != nullptr, c.button);
        EXPECT_EQ(row.alertIcon() != nullptr, c.alert);
        if (c.button) {
            EXPECT_EQ(row.updateButton()->geometry(), QRect(444, 36, 92, 24));
            QSignalSpy asked(&row, &D2FirmwareUpdateRow::updateFirmware);
            QTest::mouseClick(row.updateButton(), Qt::LeftButton);
            EXPECT_EQ(asked.count(), 1);
        }
        if (c.alert) {
            EXPECT_NEAR(row.alertIcon()->x() + row.alertIcon()->width() / 2.0, 420.0, 1.0);
        }
    }
}

// An XMEGA's build runs past the 200 px label: cut with "…", the whole text is the tooltip.
TEST(D2FirmwareUpdateRow, ALongVersionIsElidedWithTheWholeTextAsItsTooltip)
{
    RowInfo info;
    info.build = QStringLiteral("fpga:0000001b xmega:00000002");
    info.packagedBuild = QStringLiteral("fpga:0000001c xmega:00000003");
    info.available = true;
    for (const bool supported : {true, false}) {
        SCOPED_TRACE(supported ? "supported" : "not compatible");
        info.supported = supported;
        D2FirmwareUpdateRow row(nullptr, info);
        const QString installed =
            supported ? QStringLiteral("Unknown, Build fpga:0000001b xmega:00000002") : QStringLiteral("Unknown");
        const QString packaged = QStringLiteral("Version 7.6, Build fpga:0000001c xmega:00000003") +
                                 (supported ? QString() : QStringLiteral(" is not compatible"));
        for (const auto& [label, text] : {std::make_pair(row.installedLabel(), installed),
                                          std::make_pair(row.availableLabel(), packaged)}) {
            SCOPED_TRACE(text.toStdString());
            EXPECT_EQ(label->text(), text);
            EXPECT_EQ(label->toolTip(), text);
            EXPECT_TRUE(label->isElided());
            EXPECT_EQ(label->width(), 200);
        }
        EXPECT_GT(row.availableLabel()->fontMetrics().horizontalAdvance(packaged),
                  row.availableLabel()->contentsRect().width())
            << "too long to show whole";
    }
}

TEST(D2FirmwareUpdateRow, TheBuildShowsWhileTheVersionHasTheFocus)
{
    RowInfo info;
    info.release = QStringLiteral("1.2");
    info.build = QStringLiteral("ABC");
    QWidget window;
    auto* row = new D2FirmwareUpdateRow(&window, info);
    auto* other = new QLineEdit(&window);
    other->move(0, 80);
    window.show();
    window.activateWindow();
    row->installedLabel()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return row->installedLabel()->hasFocus(); }));
    EXPECT_EQ(row->installedLabel()->text(), QStringLiteral("Version 1.2, Build abc"));
    EXPECT_EQ(row->installedLabel()->toolTip(), QStringLiteral("Version 1.2, Build abc"));
    other->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return other->hasFocus(); }));
    EXPECT_EQ(row->installedLabel()->text(), QStringLiteral("Version 1.2"));
    EXPECT_EQ(row->installedLabel()->toolTip(), QStringLiteral("Version 1.2"));
}

} // namespace
