#include "kit/framework/SettingsTab.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/framework/FirmwareUpdateRow.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/TightLayouts.h"
#include "kit/widgets/card/CardPopupMenu.h"
#include "kit/widgets/card/CardScrollArea.h"
#include "kit/widgets/card/CardSection.h"
#include "kit/widgets/card/CardSeparator.h"
#include "kit/widgets/settings/RowSpacer.h"
#include "kit/widgets/settings/SettingsCheckBox.h"
#include "kit/widgets/settings/SettingsComboBox.h"
#include "kit/widgets/settings/SettingsLabel.h"
#include "kit/widgets/settings/SettingsLineEdit.h"
#include "kit/widgets/settings/SettingsRadioButton.h"
#include "kit/widgets/settings/SettingsSlider.h"
#include "kit/widgets/settings/SettingsSliderValue.h"
#include "kit/widgets/settings/SettingsSliderWithEditableValue.h"
#include "kit/widgets/settings/SharedValidators.h"
#include "kit/widgets/settings/IpAddressValidator.h"
#include "kit/widgets/settings/NonEmptyValidator.h"
#include "kit/widgets/settings/SliderLink.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>

namespace {
constexpr int kContentTopMargin = 14;
constexpr int kCaptionFont = 7;
constexpr int kCaptionX = 30;
constexpr int kCaptionY = 7;
constexpr int kCaptionWidth = 160;
constexpr int kControlX = 205;
constexpr int kTextX = 214;
constexpr int kTextWidth = 385;
constexpr int kLineEditWidth = 260;
constexpr int kButtonWidth = 114;
constexpr int kButtonHeight = 25;
constexpr int kCheckBoxX = 203;
constexpr int kRadioFirstY = 8;
constexpr int kRadioStep = 27;
constexpr int kSliderValueX = 485;
constexpr int kStatusButtonX = 476;
constexpr int kTextBlockIndentedWidth = 498;
constexpr int kTextBlockWidth = 560;
constexpr int kTextBlockY = 9;
constexpr int kTextBlockImagesY = 60;
constexpr int kTextBlockImagesExtra = 49;
constexpr int kTextBlockImageStep = 80;
constexpr int kTextBlockImageSpan = 652;
constexpr int kIconRightEdge = 590;
constexpr int kIconFaded = 2; // 75 %
constexpr int kBookmarkMenuGap = 2;
}

SettingsTab::SettingsTab(QWidget* parent)
    : QWidget(parent)
{
    content_ = new QWidget;
    columnLayout_ = new TightVBoxLayout(content_);
    outerLayout_ = new TightVBoxLayout(this);
    outerLayout_->addWidget(new CardSeparatorDark(this));
    scrollArea_ = new CardScrollArea(this);
    outerLayout_->addWidget(scrollArea_, 1);
    content_->setContentsMargins(0, kContentTopMargin, 0, 0);
    scrollArea_->setWidget(content_);
}

SettingsTab::~SettingsTab()
{
    // Blocks begun but never ended belong to no widget yet.
    discardImageGroup();
    discardCheckBoxGrid();
    discardRadioGrid();
}

// ---- status ---------------------------------------------------------------------------

void SettingsTab::setSettingsStatus(int status)
{
    if (status == status_)
        return;
    status_ = status;
    emit settingsStatusChanged();
}

void SettingsTab::onAnyControlChanged(QObject* /*sender*/)
{
    if (status_ != SettingsStatus::Unchanged)
        return;
    status_ = SettingsStatus::Changed;
    emit settingsStatusChanged();
}

void SettingsTab::onLineEditChanged()
{
    auto* edit = qobject_cast<QLineEdit*>(sender());
    if (!edit)
        return;
    if (edit->hasAcceptableInput()) {
        if (status_ == SettingsStatus::Invalid) {
            bool allAcceptable = true;
            for (QLineEdit* other : qAsConst(lineEdits_))
                allAcceptable = allAcceptable && other->hasAcceptableInput();
            if (allAcceptable) {
                status_ = SettingsStatus::Changed;
                emit settingsStatusChanged();
            }
        }
        onAnyControlChanged(edit);
        return;
    }
    if (status_ != SettingsStatus::Invalid) {
        status_ = SettingsStatus::Invalid;
        emit settingsStatusChanged();
    }
}

void SettingsTab::extensionHook1() {}

void SettingsTab::extensionHook2() {}

// ---- bookmarks ------------------------------------------------------------------------

void SettingsTab::setBookmarks(QWidget* selector, QMenu* menu, const QList<QWidget*>& targets)
{
    bookmarkSelector_ = selector;
    bookmarkMenu_ = menu;
    bookmarkTargets_ = targets;
}

void SettingsTab::onRaiseBookmarkMenu()
{
    if (!bookmarkMenu_ || !bookmarkSelector_)
        return;
    popupMenuAt(bookmarkMenu_, bookmarkSelector_,
                QPoint(0, bookmarkSelector_->height() + kBookmarkMenuGap));
}

void SettingsTab::onBookmarkSelected(int index)
{
    if (index < 0 || index >= bookmarkTargets_.size() || !bookmarkTargets_.at(index))
        return;
    QWidget* target = bookmarkTargets_.at(index);
    const int y = content_->isAncestorOf(target) ? target->mapTo(content_, QPoint()).y() : target->y();
    scrollArea_->verticalScrollBar()->setValue(y);
}

// ---- the column -----------------------------------------------------------------------

void SettingsTab::appendToColumn(QWidget* widget)
{
    if (!currentSection_) {
        columnLayout_->addWidget(widget);
        return;
    }
    int index = columnLayout_->count();
    const QList<QWidget*>& members = currentSection_->rows();
    if (!members.isEmpty()) {
        const int last = columnLayout_->indexOf(members.last());
        if (last >= 0)
            index = last + 1;
    }
    columnLayout_->insertWidget(index, widget);
    currentSection_->addRow(widget);
}

bool SettingsTab::spacerWanted() const
{
    return lastRowKind_ != NothingYet && lastRowKind_ != SectionBreak && !compact_
        && !skipNextSpacer_;
}

void SettingsTab::addWidgetRow(QWidget* widget)
{
    if (spacerWanted())
        addRowSpacer(kRowSpacing);
    lastRowKind_ = OrdinaryRow;
    appendToColumn(widget);
    skipNextSpacer_ = false;
}

RowSpacer* SettingsTab::addRowSpacer(int height)
{
    auto* spacer = new RowSpacer(height);
    appendToColumn(spacer);
    return spacer;
}

void SettingsTab::addSeparator(int kind)
{
    if (lastRowKind_ == NothingYet) {
        lastRowKind_ = kind;
        return;
    }
    if (kind == OrdinaryRow) {
        if (spacerWanted())
            addRowSpacer(kRowSpacing);
    } else if (kind == SectionBreak) {
        addRowSpacer(kSectionBreakSpacing);
        // A 1-pixel strip holding the centred 560-pixel dark line.
        appendToColumn(new CardSeparatorDarkMiddle);
    } else if (kind == DarkSeparator || lastRowKind_ == DarkSeparator) {
        appendToColumn(new CardSeparatorDark);
    } else if (!compact_) {
        appendToColumn(new CardSeparatorLight);
    }
    lastRowKind_ = kind;
}

CardSection* SettingsTab::addSection(const QString& title)
{
    auto* section = new CardSection(title);
    currentSection_ = section;
    if (!sections_.isEmpty())
        addSeparator(SectionBreak);
    appendToColumn(section);
    sections_.append(section);
    return section;
}

QWidget* SettingsTab::createCaptionRow(const QString& caption)
{
    auto* row = new QWidget;
    row->setFixedHeight(kRowHeight);
    addWidgetRow(row);
    QLabel* label = createStyledLabel(kCaptionFont, kitColourText(), row);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->move(kCaptionX, kCaptionY);
    label->setFixedWidth(kCaptionWidth);
    label->setText(caption);
    return row;
}

void SettingsTab::suppressRowSpacing()
{
    compact_ = true;
}

void SettingsTab::restoreRowSpacing()
{
    compact_ = false;
}

void SettingsTab::finishLayout()
{
    currentSection_ = nullptr;
    lastRowKind_ = LightSeparator;
    addRowSpacer(kFinalSpacing);
    columnLayout_->addStretch();
}

int SettingsTab::columnIndexOf(QWidget* widget) const
{
    if (!widget)
        return -1;
    for (int i = 0; i < columnLayout_->count(); ++i) {
        QWidget* row = columnLayout_->itemAt(i)->widget();
        if (row && (row == widget || row->isAncestorOf(widget)))
            return i;
    }
    return -1;
}

void SettingsTab::setRowEnabled(QWidget* widget, bool enabled)
{
    const int index = columnIndexOf(widget);
    if (index >= 0)
        columnLayout_->itemAt(index)->widget()->setEnabled(enabled);
}

void SettingsTab::setRowVisible(QWidget* widget, bool visible)
{
    const int index = columnIndexOf(widget);
    if (index < 0)
        return;
    columnLayout_->itemAt(index)->widget()->setVisible(visible);
    if (index == 0)
        return;
    QWidget* above = columnLayout_->itemAt(index - 1)->widget();
    if (qobject_cast<RowSpacer*>(above)) {
        above->setVisible(visible);
    } else if (qobject_cast<CardSection*>(above) && index + 1 < columnLayout_->count()) {
        if (auto* below = qobject_cast<RowSpacer*>(columnLayout_->itemAt(index + 1)->widget()))
            below->setVisible(visible);
    }
}

// ---- rows -----------------------------------------------------------------------------

SettingsLabel* SettingsTab::addTextRow(const QString& caption, const QString& text)
{
    QWidget* row = createCaptionRow(caption);
    auto* label = new SettingsLabel(text, row);
    label->setFixedWidth(kTextWidth);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->move(kTextX, kCaptionY);
    return label;
}

QLineEdit* SettingsTab::addLineEditRow(const QString& caption, int validatorKind)
{
    QWidget* row = createCaptionRow(caption);
    auto* edit = new SettingsLineEdit(row);
    edit->setFixedWidth(kLineEditWidth);
    edit->move(kControlX, 3);
    if (validatorKind == 0)
        edit->setValidator(sharedNonEmptyValidator());
    else if (validatorKind == 1)
        edit->setValidator(sharedIpAddressValidator());
    connect(edit, &QLineEdit::textEdited, this, &SettingsTab::onLineEditChanged);
    connect(edit, &QLineEdit::editingFinished, this, &SettingsTab::onLineEditChanged);
    lineEdits_.append(edit);
    return edit;
}

QButtonGroup* SettingsTab::beginRadioGroup(const QString& caption)
{
    radioRow_ = createCaptionRow(caption);
    radioGroup_ = new QButtonGroup(this);
    radioNextY_ = kRadioFirstY;
    QButtonGroup* group = radioGroup_;
    connect(group, &QButtonGroup::buttonClicked, this, [this, group] { onAnyControlChanged(group); });
    return group;
}

QAbstractButton* SettingsTab::addRadioButton(const QString& text, int id)
{
    if (!radioGroup_ || !radioRow_)
        return nullptr;
    auto* button = new SettingsRadioButton(text, radioRow_);
    // Sized to its text: option texts are longer than a child widget's default width.
    button->adjustSize();
    button->move(kControlX, radioNextY_);
    radioNextY_ += kRadioStep;
    radioGroup_->addButton(button, id);
    connect(button, &QAbstractButton::clicked, this, [this, button] { onAnyControlChanged(button); });
    return button;
}

void SettingsTab::fitRadioGroupHeight()
{
    if (!radioRow_)
        return;
    radioNextY_ += 1;
    radioRow_->setFixedHeight(radioNextY_);
}

CardPushButton* SettingsTab::addButtonRow(const QString& caption, const QString& buttonText)
{
    QWidget* row = createCaptionRow(caption);
    auto* button = new CardPushButton(buttonText, row, kButtonWidth, kButtonHeight);
    button->move(kControlX, 5);
    return button;
}

CardPushButton* SettingsTab::addCaptionedButtonRow(const QString& caption, const QString& buttonText)
{
    return addButtonRow(caption, buttonText);
}

QWidget* SettingsTab::addCheckBoxRow(const QString& caption, const QString& text)
{
    QWidget* row = createCaptionRow(caption);
    if (compact_)
        row->setFixedHeight(kCompactCheckBoxRowHeight);
    auto* box = new SettingsCheckBox(text, row);
    box->adjustSize();
    box->move(kCheckBoxX, compact_ ? 2 : 8);
    connect(box, &QAbstractButton::clicked, this, [this, box] { onAnyControlChanged(box); });
    return box;
}

QWidget* SettingsTab::addComboBoxRow(const QString& caption, int width)
{
    QWidget* row = createCaptionRow(caption);
    auto* combo = new SettingsComboBox(row, width);
    combo->move(kControlX, 3);
    connect(combo, qOverload<int>(&QComboBox::activated), this,
            [this, combo] { onAnyControlChanged(combo); });
    return combo;
}

SliderWithValue SettingsTab::addSliderWithValueRow(const QString& caption)
{
    QWidget* row = createCaptionRow(caption);
    row->setFixedHeight(kSliderRowHeight);
    SliderWithValue pair;
    pair.slider = new SettingsSlider(row);
    pair.slider->move(kControlX, 2);
    SettingsSlider* slider = pair.slider;
    connect(slider, &QAbstractSlider::actionTriggered, this,
            [this, slider] { onAnyControlChanged(slider); });
    pair.value = new SettingsSliderValue(row);
    pair.value->move(kSliderValueX, 3);
    skipNextSpacer_ = true;
    return pair;
}

QAbstractSlider* SettingsTab::addSliderRow(const QString& caption, const QString& format)
{
    const SliderWithValue pair = addSliderWithValueRow(caption);
    pair.value->setSlider(pair.slider, format);
    return pair.slider;
}

SliderWithValue SettingsTab::addSliderPairRow(const QString& caption)
{
    return addSliderWithValueRow(caption);
}

QWidget* SettingsTab::addEditableSliderRow(const QString& caption, double minimum, double maximum,
                                           int decimals, const QString& units, bool hasDefault,
                                           double defaultValue)
{
    QWidget* row = createCaptionRow(caption);
    row->setFixedHeight(kSliderRowHeight);
    auto* control = new SettingsSliderWithEditableValue(row);
    control->move(kControlX, 0);
    control->setDecimals(decimals);
    control->setMinimum(minimum);
    control->setMaximum(maximum);
    control->setUnits(units);
    control->setDefaultEnabled(hasDefault);
    control->setDefaultValue(defaultValue);
    connect(control, qOverload<>(&SettingsSliderWithEditableValue::valueChanged), this,
            [this, control] { onAnyControlChanged(control); });
    skipNextSpacer_ = true;
    return control;
}

SliderLink* SettingsTab::linkSliders(QWidget* first, QWidget* second, int mode)
{
    auto* a = qobject_cast<SettingsSliderWithEditableValue*>(first);
    auto* b = qobject_cast<SettingsSliderWithEditableValue*>(second);
    if (!a || !b || a == b)
        return nullptr;
    return new SliderLink(a, b, mode, content_);
}

StatusButtonRow SettingsTab::addStatusButtonRow(const QString& caption, const QString& text,
                                                const QString& buttonText, bool highlighted)
{
    QWidget* row = createCaptionRow(caption);
    StatusButtonRow status;
    status.label = createStyledLabel(kCaptionFont, brandingAccentColour(), row);
    status.label->move(kTextX, 6);
    status.button = new CardPushButton(buttonText, row, kButtonWidth, kButtonHeight);
    status.button->move(kStatusButtonX, 3);
    CardPushButton* button = status.button;
    connect(button, &QAbstractButton::clicked, this, [this, button] { onAnyControlChanged(button); });
    status.setHighlighted(highlighted, text);
    return status;
}

FirmwareUpdateRow* SettingsTab::addFirmwareUpdateRow(const QString& deviceVersion,
                                                     const QString& availableVersion,
                                                     int updateCount, bool supported)
{
    auto* row = new FirmwareUpdateRow(deviceVersion, availableVersion, updateCount != 0, !supported,
                                      this);
    addWidgetRow(row);
    return row;
}

QLabel* SettingsTab::createTextBlock(const QString& text, const QVector<QPixmap>& images,
                                     bool indented)
{
    auto* row = new QWidget;
    QLabel* label = createStyledLabel(kCaptionFont, kitColourText(), row);
    const int width = indented ? kTextBlockIndentedWidth : kTextBlockWidth;
    label->setAlignment(indented ? (Qt::AlignLeft | Qt::AlignVCenter) : Qt::AlignCenter);
    label->setFixedWidth(width);
    label->setWordWrap(true);
    label->setText(text);

    const int lineHeight = label->fontMetrics().height();
    const int textHeight = qMax(label->heightForWidth(width), lineHeight);
    label->setFixedHeight(textHeight);
    int height = kRowHeight + (textHeight - lineHeight);

    const int x = indented ? kControlX : kCaptionX;
    if (!images.isEmpty()) {
        const int count = images.size();
        int imageX = (kTextBlockImageSpan - kTextBlockImageStep * count) / 2;
        for (const QPixmap& image : images) {
            auto* picture = new QLabel(row);
            picture->setPixmap(image);
            picture->adjustSize();
            picture->move(imageX, 0);
            imageX += kTextBlockImageStep;
        }
        label->move(x, kTextBlockImagesY);
        height += kTextBlockImagesExtra;
    } else {
        label->move(x, kTextBlockY);
    }
    row->setFixedHeight(height);
    addWidgetRow(row);
    return label;
}

QWidget* SettingsTab::addIconToRow(QWidget* row, const QString& resourceName)
{
    if (!row)
        return nullptr;
    const QPixmap image = loadIconPixmap(resourceName);
    auto* button = new FlatImageButton(fadedPixmap(image, kIconFaded), row);
    button->setHoverPixmap(image);
    button->setCheckedPixmap(image);
    button->move(kIconRightEdge - button->width(), (row->height() - button->height()) / 2);
    return button;
}
