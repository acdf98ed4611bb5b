#include "plugins/zanthic/ui/D2SettingsTab.h"

#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/TightLayouts.h"
#include "kit/widgets/card/CardScrollArea.h"
#include "plugins/zanthic/ui/D2FirmwareUpdateRow.h"
#include "plugins/zanthic/ui/D2SettingsCheckBox.h"
#include "plugins/zanthic/ui/D2SettingsLineEdit.h"
#include "plugins/zanthic/ui/D2SettingsPushButton.h"
#include "plugins/zanthic/ui/D2SettingsRadioButton.h"

#include <QButtonGroup>
#include <QLabel>

namespace TWG {
namespace Zanthic {

namespace {
constexpr int kLabelX = 68;
constexpr int kLabelWidth = 160;
constexpr int kLabelHeight = 24;
constexpr int kRowLabelFont = 7;
constexpr int kSectionTitleFont = 4;
constexpr int kTitledSectionHeight = 37;
constexpr int kUntitledSectionHeight = 17;
constexpr int kSeparatorWidth = 620;
constexpr int kSeparatorHeight = 18;
constexpr int kLineX = 30;
constexpr int kLineY = 17;
constexpr int kLineWidth = 560;
constexpr int kCheckBoxX = 236;
constexpr int kPairSecondX = 339;
constexpr int kRadioPitch = 24;
constexpr int kEndSpacing = 40;
const QColor kLineColour(208, 208, 208);
} // namespace

QLabel* addD2RowLabel(QWidget* row, const QString& text, int y)
{
    QLabel* label = createStyledLabel(kRowLabelFont, kitColourText(), row);
    label->setText(text);
    label->setGeometry(kLabelX, y, kLabelWidth, kLabelHeight);
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    return label;
}

D2SettingsTab::Section::Section(const QString& title, QWidget* parent) : QWidget(parent), title_(title)
{
    if (title.isEmpty()) {
        setFixedHeight(kUntitledSectionHeight);
        return;
    }
    setFixedHeight(kTitledSectionHeight);
    QLabel* label = createStyledLabel(kSectionTitleFont, kitColourText(), this);
    label->setText(title);
    label->move(30, 12);
    label->adjustSize();
}

D2SettingsTab::D2SettingsTab(QWidget* parent)
    : QWidget(parent),
      outer_(new TightVBoxLayout(this)),
      scroll_(new CardScrollArea(this)),
      content_(new QWidget),
      contentLayout_(new TightVBoxLayout(content_))
{
    scroll_->setWidget(content_);
    scroll_->setWidgetResizable(true);
    outer_->addWidget(scroll_);
}

void D2SettingsTab::addSection(const QString& title)
{
    if (current_)
        current_->separator->show();
    auto* section = new Section(title, content_);
    section->separator = new QWidget(content_);
    section->separator->setFixedSize(kSeparatorWidth, kSeparatorHeight);
    auto* line = new QWidget(section->separator);
    line->setGeometry(kLineX, kLineY, kLineWidth, 1);
    line->setStyleSheet(QStringLiteral("QWidget { background: %1; }").arg(colourToHex(kLineColour)));
    contentLayout_->addWidget(section);
    contentLayout_->addWidget(section->separator);
    section->separator->hide();
    sections_.append(section);
    current_ = section;
}

void D2SettingsTab::addWidget(QWidget* widget)
{
    widget->setParent(content_);
    if (!current_) {
        contentLayout_->addWidget(widget);
        return;
    }
    contentLayout_->insertWidget(contentLayout_->indexOf(current_->separator), widget);
    current_->rows.append(widget);
}

QWidget* D2SettingsTab::addRow(const QString& label)
{
    auto* row = new QWidget(content_);
    row->setFixedHeight(kRowHeight);
    addD2RowLabel(row, label);
    addWidget(row);
    return row;
}

D2SettingsCheckBox* D2SettingsTab::addCheckBox(const QString& label, const QString& text)
{
    auto* box = new D2SettingsCheckBox(text, addRow(label));
    box->move(kCheckBoxX, kControlY);
    return box;
}

D2SettingsLineEdit* D2SettingsTab::addLineEdit(const QString& label, int validatorKind)
{
    auto* field = new D2SettingsLineEdit(addRow(label));
    field->move(kControlX, kControlY);
    if (validatorKind != D2SettingsLineEdit::NoValidator)
        field->setValidatorKind(validatorKind);
    return field;
}

D2SettingsPushButton* D2SettingsTab::addPushButton(const QString& label, const QString& text)
{
    auto* button = new D2SettingsPushButton(text, addRow(label));
    button->move(kControlX, kControlY);
    return button;
}

QPair<D2SettingsPushButton*, D2SettingsPushButton*> D2SettingsTab::addPushButtonPair(const QString& label,
                                                                                     const QString& text1,
                                                                                     const QString& text2)
{
    QWidget* row = addRow(label);
    auto* first = new D2SettingsPushButton(text1, row);
    auto* second = new D2SettingsPushButton(text2, row);
    first->setFixedWidth(D2SettingsPushButton::kPairWidth);
    second->setFixedWidth(D2SettingsPushButton::kPairWidth);
    first->move(kControlX, kControlY);
    second->move(kPairSecondX, kControlY);
    return {first, second};
}

QButtonGroup* D2SettingsTab::addRadioGroup(const QList<QPair<int, QString>>& entries, const QString& label)
{
    QWidget* row = addRow(label);
    auto* group = new QButtonGroup(row);
    int y = kControlY;
    for (const auto& entry : entries) {
        auto* button = new D2SettingsRadioButton(entry.second, row);
        button->move(kControlX, y);
        button->adjustSize();
        group->addButton(button, entry.first);
        y += kRadioPitch;
    }
    row->setFixedHeight(kControlY + kRadioPitch * entries.size() + kControlY);
    return group;
}

void D2SettingsTab::setRadioGroupChecked(QButtonGroup* group, int id)
{
    if (!group)
        return;
    if (QAbstractButton* button = group->button(id))
        button->setChecked(true);
}

D2FirmwareUpdateRow* D2SettingsTab::addFirmwareRow(FirmwareUpdateInfo& device)
{
    auto* row = new D2FirmwareUpdateRow(content_, device);
    addWidget(row);
    return row;
}

void D2SettingsTab::finishLayout()
{
    contentLayout_->addSpacing(kEndSpacing);
    contentLayout_->addStretch();
}

} // namespace Zanthic
} // namespace TWG
