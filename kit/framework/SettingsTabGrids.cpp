// The grid blocks of SettingsTab: check-box grids, radio grids and image-option groups.
#include "kit/framework/SettingsTab.h"

#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/TightLayouts.h"
#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/settings/ImageGroupButton.h"
#include "kit/widgets/settings/SettingsCheckBox.h"
#include "kit/widgets/settings/SettingsRadioButton.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>

namespace {
constexpr int kBlockWidth = 620;
constexpr int kCaptionWidth = 190;
constexpr int kInnerWidthWithCaption = 430;
constexpr int kCaptionFont = 7;
constexpr int kGridCheckBoxHeight = 24;
constexpr int kGridRadioHeight = 20;
constexpr int kSingleEntryHeight = 31;
constexpr int kSingleCheckBoxTop = 3;
constexpr int kSingleRadioTop = 5;
constexpr int kAlignedColumnWidth = 112;

bool columnHoldsWidget(const QGridLayout* grid, int column)
{
    for (int row = 0; row < grid->rowCount(); ++row) {
        QLayoutItem* item = grid->itemAtPosition(row, column);
        if (item && item->widget())
            return true;
    }
    return false;
}

QWidget* blockOf(const QGridLayout* grid)
{
    QWidget* inner = grid->parentWidget();
    return inner && inner->parentWidget() ? inner->parentWidget() : inner;
}
}

QFrame* SettingsTab::createGridBlock(const QString* caption, const GridSpec& spec, QGridLayout** grid)
{
    auto* block = new QFrame;
    block->setFixedWidth(kBlockWidth);
    auto* layout = new TightHBoxLayout(block);
    if (caption) {
        QLabel* label = createStyledLabel(kCaptionFont, kitColourText(), block);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        label->setFixedWidth(kCaptionWidth);
        label->setText(*caption);
        label->setContentsMargins(0, spec.captionTopMargin, 0, 0);
        layout->addWidget(label, 0, Qt::AlignRight | Qt::AlignTop);
    }
    auto* inner = new QFrame(block);
    inner->setFixedWidth(caption ? kInnerWidthWithCaption : kBlockWidth);
    layout->addWidget(inner);

    auto* gridLayout = new QGridLayout(inner);
    gridLayout->setContentsMargins(spec.sideMargin, spec.edgeMargin, spec.sideMargin, spec.edgeMargin);
    gridLayout->setAlignment(Qt::Alignment(spec.alignment));
    gridLayout->setVerticalSpacing(spec.verticalSpacing);
    gridLayout->setHorizontalSpacing(spec.horizontalSpacing);
    gridLayout->setSizeConstraint(QLayout::SetNoConstraint);
    if (grid)
        *grid = gridLayout;
    return block;
}

void SettingsTab::alignGridColumns()
{
    for (QGridLayout* grid : qAsConst(alignedGrids_)) {
        QWidget* block = blockOf(grid);
        if (block)
            block->adjustSize();
        for (int column = 0; column < grid->columnCount(); ++column)
            grid->setColumnMinimumWidth(column,
                                        columnHoldsWidget(grid, column) ? kAlignedColumnWidth : 0);
        if (block)
            block->adjustSize();
    }
}

void SettingsTab::alignImageGridColumns()
{
    int widest = 0;
    for (const QGridLayout* grid : qAsConst(imageGrids_)) {
        for (int i = 0; i < grid->count(); ++i) {
            if (const QWidget* widget = grid->itemAt(i)->widget())
                widest = qMax(widest, widget->sizeHint().width());
        }
    }
    for (QGridLayout* grid : qAsConst(imageGrids_)) {
        for (int column = 0; column < grid->columnCount(); ++column)
            grid->setColumnMinimumWidth(column, columnHoldsWidget(grid, column) ? widest : 0);
    }
}

// ---- check-box grids ------------------------------------------------------------------

void SettingsTab::discardCheckBoxGrid()
{
    delete checkGridFrame_;
    checkGridFrame_ = nullptr;
    checkGridLayout_ = nullptr;
    checkGridRow_ = 0;
}

QWidget* SettingsTab::beginCheckBoxGrid(const QString& caption)
{
    discardCheckBoxGrid();
    checkGridFrame_ = createGridBlock(&caption, checkBoxGridSpec(), &checkGridLayout_);
    checkGridRow_ = 0;
    return checkGridFrame_;
}

CheckBoxPair SettingsTab::addGridCheckBox(const QString& text, const QString& secondText)
{
    CheckBoxPair pair;
    if (!checkGridLayout_)
        return pair;
    QWidget* cellParent = checkGridLayout_->parentWidget();
    auto makeBox = [this, cellParent](const QString& boxText, int column) {
        auto* box = new SettingsCheckBox(boxText, cellParent);
        box->setFixedHeight(kGridCheckBoxHeight);
        checkGridLayout_->addWidget(box, checkGridRow_, column, Qt::AlignLeft | Qt::AlignTop);
        connect(box, &QAbstractButton::clicked, this, [this, box] { onAnyControlChanged(box); });
        return box;
    };
    pair.first = makeBox(text, 0);
    if (!secondText.isEmpty())
        pair.second = makeBox(secondText, 1);
    ++checkGridRow_;
    return pair;
}

void SettingsTab::endCheckBoxGrid()
{
    if (!checkGridFrame_)
        return;
    addWidgetRow(checkGridFrame_);
    alignedGrids_.append(checkGridLayout_);
    alignGridColumns();
    checkGridFrame_ = nullptr;
    checkGridLayout_ = nullptr;
    checkGridRow_ = 0;
}

void SettingsTab::addCheckBoxGrid(const QString& caption, QVector<SettingsCheckBox*>& boxes,
                                  const QStringList& texts)
{
    QWidget* block = beginCheckBoxGrid(caption);
    if (boxes.size() == 1) {
        block->setFixedHeight(kSingleEntryHeight);
        block->setContentsMargins(0, kSingleCheckBoxTop, 0, 0);
    }
    // A box without a text of its own is left blank rather than read past the list.
    for (int i = 0; i < boxes.size(); ++i)
        boxes[i] = addGridCheckBox(texts.value(i), QString()).first;
    endCheckBoxGrid();
}

// ---- radio grids ----------------------------------------------------------------------

void SettingsTab::discardRadioGrid()
{
    delete radioGridFrame_;
    radioGridFrame_ = nullptr;
    radioGridLayout_ = nullptr;
    radioGridRow_ = 0;
    radioGridColumn_ = 0;
}

void SettingsTab::beginRadioGrid(const QString& caption)
{
    discardRadioGrid();
    radioGridGroup_ = new QButtonGroup(this);
    QButtonGroup* group = radioGridGroup_;
    connect(group, &QButtonGroup::buttonClicked, this, [this, group] { onAnyControlChanged(group); });
    radioGridFrame_ = createGridBlock(&caption, radioGridSpec(), &radioGridLayout_);
}

QAbstractButton* SettingsTab::addGridRadioButton(const QString& text, int id)
{
    if (!radioGridGroup_ || !radioGridFrame_ || !radioGridLayout_)
        return nullptr;
    auto* button = new SettingsRadioButton(text, radioGridLayout_->parentWidget());
    button->setFixedHeight(kGridRadioHeight);
    connect(button, &QAbstractButton::clicked, this, [this, button] { onAnyControlChanged(button); });
    radioGridLayout_->addWidget(button, radioGridRow_, radioGridColumn_, Qt::AlignLeft | Qt::AlignTop);
    radioGridGroup_->addButton(button, id);
    // The next button goes under this one unless the caller places it.
    ++radioGridRow_;
    return button;
}

void SettingsTab::endRadioGrid()
{
    if (!radioGridFrame_)
        return;
    addWidgetRow(radioGridFrame_);
    alignedGrids_.append(radioGridLayout_);
    alignGridColumns();
    radioGridFrame_ = nullptr;
    radioGridLayout_ = nullptr;
    radioGridRow_ = 0;
    radioGridColumn_ = 0;
}

QButtonGroup* SettingsTab::addRadioGrid(const QString& caption,
                                        const QVector<QAbstractButton**>& buttonRefs,
                                        const QStringList& texts, const QVector<int>& ids)
{
    beginRadioGrid(caption);
    const int count = buttonRefs.size();
    if (count == 1) {
        radioGridFrame_->setFixedHeight(kSingleEntryHeight);
        radioGridFrame_->setContentsMargins(0, kSingleRadioTop, 0, 0);
    }
    for (int i = 0; i < count; ++i) {
        radioGridRow_ = i;
        radioGridColumn_ = 0;
        QAbstractButton* button = addGridRadioButton(texts.value(i), ids.value(i, -1));
        if (buttonRefs.at(i))
            *buttonRefs.at(i) = button;
    }
    QButtonGroup* group = radioGridGroup_;
    endRadioGrid();
    return group;
}

QButtonGroup* SettingsTab::addOptionRadioGrid(OptionList& options, const QString& caption)
{
    QVector<QAbstractButton**> refs;
    QStringList texts;
    QVector<int> ids;
    for (int i = 0; i < options.size(); ++i) {
        OptionList::Option& option = options.at(i);
        refs.append(&option.button);
        texts.append(option.text);
        ids.append(option.value);
    }
    return addRadioGrid(caption, refs, texts, ids);
}

// ---- image groups ---------------------------------------------------------------------

void SettingsTab::discardImageGroup()
{
    if (imageGroupLayout_)
        imageGrids_.removeAll(imageGroupLayout_);
    delete imageGroupFrame_;
    imageGroupFrame_ = nullptr;
    imageGroupLayout_ = nullptr;
    imageGroup_ = nullptr;
    imageGroupRows_ = 0;
    imageGroupHeights_ = 0;
}

QButtonGroup* SettingsTab::openImageGroup(const QString* caption, const GridSpec& spec)
{
    discardImageGroup();
    imageGroupSpec_ = spec;
    imageGroupFrame_ = createGridBlock(caption, spec, &imageGroupLayout_);
    imageGroup_ = new QButtonGroup(this);
    QButtonGroup* group = imageGroup_;
    connect(group, &QButtonGroup::buttonClicked, this, [this, group] { onAnyControlChanged(group); });
    connect(group, &QButtonGroup::buttonToggled, this, &SettingsTab::onImageGroupButtonToggled);
    if (caption)
        imageGrids_.append(imageGroupLayout_);
    return group;
}

QButtonGroup* SettingsTab::beginImageGroup(const GridSpec& spec)
{
    return openImageGroup(nullptr, spec);
}

QButtonGroup* SettingsTab::beginImageGroup(const QString& caption, const GridSpec& spec)
{
    return openImageGroup(&caption, spec);
}

QVector<QWidget*> SettingsTab::addImageGroupRow(const QVector<QPixmap>& images,
                                                const QVector<int>& values,
                                                const QStringList& texts, bool flat)
{
    QVector<QWidget*> buttons;
    if (!imageGroupLayout_ || !imageGroup_)
        return buttons;
    if ((!texts.isEmpty() && texts.size() != images.size())
        || (!values.isEmpty() && values.size() != images.size()))
        return buttons;

    QWidget* cellParent = imageGroupLayout_->parentWidget();
    int rowHeight = 0;
    for (int i = 0; i < images.size(); ++i) {
        auto* button = texts.isEmpty()
            ? new ImageGroupButton(images.at(i), flat ? 1 : 0, cellParent)
            : new ImageGroupButton(images.at(i), texts.at(i), flat ? 1 : 0, cellParent);
        imageGroupLayout_->addWidget(button, imageGroupRows_, i, Qt::AlignHCenter | Qt::AlignTop);
        rowHeight = qMax(rowHeight, button->sizeHint().height());
        imageGroup_->addButton(button->imageButton(), values.isEmpty() ? -1 : values.at(i));
        buttons.append(button);
    }
    imageGroupHeights_ += rowHeight;
    ++imageGroupRows_;
    return buttons;
}

void SettingsTab::endImageGroup()
{
    if (!imageGroupFrame_)
        return;
    const int gaps = qMax(0, imageGroupRows_ - 1);
    imageGroupFrame_->setFixedHeight(imageGroupSpec_.verticalSpacing * gaps
                                     + 2 * imageGroupSpec_.edgeMargin + imageGroupHeights_);
    addWidgetRow(imageGroupFrame_);
    alignImageGridColumns();
    imageGroupFrame_ = nullptr;
    imageGroupLayout_ = nullptr;
    imageGroup_ = nullptr;
    imageGroupRows_ = 0;
    imageGroupHeights_ = 0;
}

void SettingsTab::onImageGroupButtonToggled(QAbstractButton* button, bool checked)
{
    auto* group = qobject_cast<QButtonGroup*>(sender());
    if (!group)
        return;
    // The members are the inner picture buttons, which restyle their own frames.
    const QList<QAbstractButton*> members = group->buttons();
    for (QAbstractButton* member : members) {
        if (checked && member == button)
            continue;
        if (auto* frame = qobject_cast<ImageGroupButton*>(member))
            frame->onToggled(false);
    }
}

QButtonGroup* SettingsTab::addImageOptionGrid(const QString* caption, const QVector<QPixmap>& images,
                                              const QVector<int>& values, const QStringList& texts,
                                              QVector<QWidget*>* outButtons, const GridSpec& spec,
                                              bool flat)
{
    const int count = images.size();
    if (count == 0)
        return nullptr;
    // Checked before anything is built: slicing short lists would read past their ends.
    if ((!texts.isEmpty() && texts.size() != count) || (!values.isEmpty() && values.size() != count))
        return nullptr;

    const int columns = spec.columns > 0 ? spec.columns : count;
    const int rows = (count + columns - 1) / columns;
    QButtonGroup* group = nullptr;
    if (caption) {
        group = beginImageGroup(*caption, spec);
    } else {
        GridSpec fixed = uncaptionedImageGroupSpec();
        fixed.columns = spec.columns;
        group = beginImageGroup(fixed);
    }
    for (int row = 0; row < rows; ++row) {
        const int first = row * columns;
        const int length = qMin(columns, count - first);
        const QVector<QWidget*> made =
            addImageGroupRow(images.mid(first, length),
                             values.isEmpty() ? QVector<int>() : values.mid(first, length),
                             texts.isEmpty() ? QStringList() : texts.mid(first, length), flat);
        if (outButtons)
            *outButtons += made;
    }
    endImageGroup();
    return group;
}

QButtonGroup* SettingsTab::addImageOptionGrid(const QString* caption,
                                              const QVector<const QPixmap*>& images,
                                              const QVector<int>& values, const QStringList& texts,
                                              QVector<QWidget*>* outButtons, const GridSpec& spec,
                                              bool flat)
{
    QVector<QPixmap> pixmaps;
    pixmaps.reserve(images.size());
    for (const QPixmap* image : images)
        pixmaps.append(image ? *image : QPixmap());
    return addImageOptionGrid(caption, pixmaps, values, texts, outButtons, spec, flat);
}

QButtonGroup* SettingsTab::addImageOptionGrid(const QVector<const QPixmap*>& images,
                                              const QVector<int>& values, const QStringList& texts,
                                              QVector<QWidget*>* outButtons, const GridSpec& spec)
{
    return addImageOptionGrid(nullptr, images, values, texts, outButtons, spec, false);
}

QButtonGroup* SettingsTab::addImageOptionGrid(const QString& caption,
                                              const QVector<const QPixmap*>& images,
                                              const QVector<int>& values, const QStringList& texts,
                                              QVector<QWidget*>* outButtons, const GridSpec& spec)
{
    return addImageOptionGrid(&caption, images, values, texts, outButtons, spec, false);
}

QButtonGroup* SettingsTab::addImageOptionGrid(const QVector<QPixmap>& images,
                                              const QVector<int>& values, const QStringList& texts,
                                              QVector<QWidget*>* outButtons, const GridSpec& spec)
{
    return addImageOptionGrid(nullptr, images, values, texts, outButtons, spec, false);
}

QButtonGroup* SettingsTab::addImageOptionGrid(const QString& caption, const QVector<QPixmap>& images,
                                              const QVector<int>& values, const QStringList& texts,
                                              QVector<QWidget*>* outButtons, const GridSpec& spec)
{
    return addImageOptionGrid(&caption, images, values, texts, outButtons, spec, false);
}

QButtonGroup* SettingsTab::addFlatImageOptionGrid(const QVector<const QPixmap*>& images,
                                                  const QVector<int>& values,
                                                  const QStringList& texts,
                                                  QVector<QWidget*>* outButtons,
                                                  const GridSpec& spec)
{
    return addImageOptionGrid(nullptr, images, values, texts, outButtons, spec, true);
}

QButtonGroup* SettingsTab::addFlatImageOptionGrid(const QVector<QPixmap>& images,
                                                  const QVector<int>& values,
                                                  const QStringList& texts,
                                                  QVector<QWidget*>* outButtons,
                                                  const GridSpec& spec)
{
    return addImageOptionGrid(nullptr, images, values, texts, outButtons, spec, true);
}

QButtonGroup* SettingsTab::addImageOptionGroup(const ImageOptionList& options, const QString& caption)
{
    if (!caption.isEmpty())
        return addImageOptionGrid(&caption, options.images, options.values, options.texts, nullptr,
                                  captionedImageGroupSpec(), false);
    return addImageOptionGrid(nullptr, options.images, options.values, options.texts, nullptr,
                              uncaptionedImageGroupSpec(), false);
}
