#pragma once

#include "kit/framework/SettingsTabTypes.h"

#include <QList>
#include <QPixmap>
#include <QVector>
#include <QWidget>

class CardPushButton;
class CardScrollArea;
class CardSection;
class FirmwareUpdateRow;
class QAbstractButton;
class QAbstractSlider;
class QButtonGroup;
class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class RowSpacer;
class SettingsLabel;
class SliderLink;
class TightVBoxLayout;

// How a settings tab tells its page whether Save may be offered.
namespace SettingsStatus {
enum Value : int { Unchanged = 0, Changed = 1, Invalid = 2 };
}

// One tab of a device's settings page: a scrolling column of fixed-geometry rows grouped into
// titled sections. A derived tab builds its rows once, in its constructor, with the builders
// below, then calls finishLayout. Captions end at x 190, controls start at about x 205.
class SettingsTab : public QWidget {
    Q_OBJECT
public:
    // What was added to the column last; decides the spacing before the next row.
    enum RowKind {
        NothingYet = 0,
        LightSeparator = 1,
        DarkSeparator = 2,
        SectionBreak = 3,
        OrdinaryRow = 4,
    };

    static constexpr int kRowHeight = 31;
    static constexpr int kCompactCheckBoxRowHeight = 24;
    static constexpr int kSliderRowHeight = 38;
    static constexpr int kRowSpacing = 11;
    static constexpr int kSectionBreakSpacing = 28;
    static constexpr int kFinalSpacing = 36;

    explicit SettingsTab(QWidget* parent = nullptr);
    ~SettingsTab() override;

    virtual SettingsLabel* addTextRow(const QString& caption, const QString& text);
    // validatorKind: 0 the shared non-empty validator, 1 the shared IP-address validator,
    // anything else none.
    virtual QLineEdit* addLineEditRow(const QString& caption, int validatorKind);
    virtual QButtonGroup* beginRadioGroup(const QString& caption);
    // Null unless a radio group was begun.
    virtual QAbstractButton* addRadioButton(const QString& text, int id);
    virtual CardPushButton* addButtonRow(const QString& caption, const QString& buttonText);
    virtual CardPushButton* addCaptionedButtonRow(const QString& caption, const QString& buttonText);
    virtual QWidget* addCheckBoxRow(const QString& caption, const QString& text);
    virtual QWidget* addComboBoxRow(const QString& caption, int width);
    // format: a "%1" pattern for the value shown beside the slider.
    virtual QAbstractSlider* addSliderRow(const QString& caption, const QString& format);
    virtual SliderWithValue addSliderPairRow(const QString& caption);
    virtual QWidget* addEditableSliderRow(const QString& caption, double minimum, double maximum,
                                          int decimals, const QString& units, bool hasDefault,
                                          double defaultValue);
    // mode: 0 same value, 1 same change, 2 proportional. Null unless both are editable sliders.
    virtual SliderLink* linkSliders(QWidget* first, QWidget* second, int mode);
    virtual StatusButtonRow addStatusButtonRow(const QString& caption, const QString& text,
                                               const QString& buttonText, bool highlighted);
    // boxes is sized to the number of boxes wanted; it receives them.
    virtual void addCheckBoxGrid(const QString& caption, QVector<SettingsCheckBox*>& boxes,
                                 const QStringList& texts);

    // Image-option grids. caption null: no caption. texts and values are either empty or as
    // long as images; anything else builds nothing and returns null.
    virtual QButtonGroup* addImageOptionGrid(const QString* caption,
                                             const QVector<const QPixmap*>& images,
                                             const QVector<int>& values, const QStringList& texts,
                                             QVector<QWidget*>* outButtons, const GridSpec& spec,
                                             bool flat);
    virtual QButtonGroup* addImageOptionGrid(const QString* caption, const QVector<QPixmap>& images,
                                             const QVector<int>& values, const QStringList& texts,
                                             QVector<QWidget*>* outButtons, const GridSpec& spec,
                                             bool flat);
    virtual QButtonGroup* addImageOptionGrid(const QVector<const QPixmap*>& images,
                                             const QVector<int>& values, const QStringList& texts,
                                             QVector<QWidget*>* outButtons, const GridSpec& spec);
    virtual QButtonGroup* addImageOptionGrid(const QString& caption,
                                             const QVector<const QPixmap*>& images,
                                             const QVector<int>& values, const QStringList& texts,
                                             QVector<QWidget*>* outButtons, const GridSpec& spec);
    virtual QButtonGroup* addImageOptionGrid(const QVector<QPixmap>& images,
                                             const QVector<int>& values, const QStringList& texts,
                                             QVector<QWidget*>* outButtons, const GridSpec& spec);
    virtual QButtonGroup* addImageOptionGrid(const QString& caption, const QVector<QPixmap>& images,
                                             const QVector<int>& values, const QStringList& texts,
                                             QVector<QWidget*>* outButtons, const GridSpec& spec);
    virtual QButtonGroup* addFlatImageOptionGrid(const QVector<const QPixmap*>& images,
                                                 const QVector<int>& values,
                                                 const QStringList& texts,
                                                 QVector<QWidget*>* outButtons,
                                                 const GridSpec& spec);
    virtual QButtonGroup* addFlatImageOptionGrid(const QVector<QPixmap>& images,
                                                 const QVector<int>& values,
                                                 const QStringList& texts,
                                                 QVector<QWidget*>* outButtons,
                                                 const GridSpec& spec);

    // updateCount nonzero: an update is offered; supported false: it cannot be installed.
    virtual FirmwareUpdateRow* addFirmwareUpdateRow(const QString& deviceVersion,
                                                    const QString& availableVersion,
                                                    int updateCount, bool supported);

    // Run by the tab strip when the tab is entered (1) and left (2).
    virtual void extensionHook1();
    virtual void extensionHook2();

public slots:
    // Unchanged becomes Changed (one signal); Changed and Invalid stay.
    virtual void onAnyControlChanged(QObject* sender);

public:
    virtual SliderWithValue addSliderWithValueRow(const QString& caption);
    virtual QButtonGroup* beginImageGroup(const GridSpec& spec);
    virtual QButtonGroup* beginImageGroup(const QString& caption, const GridSpec& spec);
    // Empty when no group is open or the sizes of texts or values do not match images.
    virtual QVector<QWidget*> addImageGroupRow(const QVector<QPixmap>& images,
                                               const QVector<int>& values,
                                               const QStringList& texts, bool flat);
    virtual void endImageGroup();
    virtual QWidget* beginCheckBoxGrid(const QString& caption);
    // {null, null} when no grid is open.
    virtual CheckBoxPair addGridCheckBox(const QString& text, const QString& secondText);
    virtual void endCheckBoxGrid();
    // Null unless a radio grid is open.
    virtual QAbstractButton* addGridRadioButton(const QString& text, int id);
    virtual void beginRadioGrid(const QString& caption);
    virtual void endRadioGrid();

    // Sections and plain rows.
    CardSection* addSection(const QString& title);
    void addSeparator(int kind);
    QLabel* createTextBlock(const QString& text, const QVector<QPixmap>& images, bool indented);
    QWidget* addIconToRow(QWidget* row, const QString& resourceName);
    void addWidgetRow(QWidget* widget);
    QWidget* createCaptionRow(const QString& caption);
    RowSpacer* addRowSpacer(int height);
    void suppressRowSpacing();
    void restoreRowSpacing();
    void fitRadioGroupHeight();
    void finishLayout();
    void setRowEnabled(QWidget* widget, bool enabled);
    void setRowVisible(QWidget* widget, bool visible);

    // Radio grids and image groups built in one call.
    QButtonGroup* addRadioGrid(const QString& caption, const QVector<QAbstractButton**>& buttonRefs,
                               const QStringList& texts, const QVector<int>& ids);
    QButtonGroup* addOptionRadioGrid(OptionList& options, const QString& caption);
    QButtonGroup* addImageOptionGroup(const ImageOptionList& options, const QString& caption);
    QFrame* createGridBlock(const QString* caption, const GridSpec& spec, QGridLayout** grid);
    void alignGridColumns();
    void alignImageGridColumns();

    int settingsStatus() const { return status_; }
    // Emits settingsStatusChanged only when the value changes.
    void setSettingsStatus(int status);

    // A tab that offers bookmarks fills these before the user can raise the menu.
    void setBookmarks(QWidget* selector, QMenu* menu, const QList<QWidget*>& targets);

    int lastRowKind() const { return lastRowKind_; }
    bool isCompact() const { return compact_; }
    QWidget* content() const { return content_; }
    TightVBoxLayout* columnLayout() const { return columnLayout_; }
    CardScrollArea* scrollArea() const { return scrollArea_; }
    const QList<CardSection*>& sections() const { return sections_; }
    const QList<QLineEdit*>& lineEdits() const { return lineEdits_; }

signals:
    void settingsStatusChanged();

public slots:
    void onRaiseBookmarkMenu();
    void onBookmarkSelected(int index);
    void onLineEditChanged();
    void onImageGroupButtonToggled(QAbstractButton* button, bool checked);

private:
    void appendToColumn(QWidget* widget);
    bool spacerWanted() const;
    // The top-level item of the column that is or holds widget; -1 when there is none.
    int columnIndexOf(QWidget* widget) const;
    QButtonGroup* openImageGroup(const QString* caption, const GridSpec& spec);
    void discardImageGroup();
    void discardCheckBoxGrid();
    void discardRadioGrid();

    int lastRowKind_ = NothingYet;
    bool compact_ = false;
    bool skipNextSpacer_ = false;
    TightVBoxLayout* outerLayout_ = nullptr;
    CardScrollArea* scrollArea_ = nullptr;
    TightVBoxLayout* columnLayout_ = nullptr;
    QWidget* bookmarkSelector_ = nullptr;
    QMenu* bookmarkMenu_ = nullptr;
    QList<QWidget*> bookmarkTargets_;
    QWidget* radioRow_ = nullptr;
    QButtonGroup* radioGroup_ = nullptr;
    int radioNextY_ = 0;

    QButtonGroup* radioGridGroup_ = nullptr;
    QFrame* radioGridFrame_ = nullptr;
    QGridLayout* radioGridLayout_ = nullptr;
    int radioGridRow_ = 0;
    int radioGridColumn_ = 0;

    QFrame* checkGridFrame_ = nullptr;
    int checkGridRow_ = 0;
    QGridLayout* checkGridLayout_ = nullptr;

    QList<QGridLayout*> alignedGrids_;

    QFrame* imageGroupFrame_ = nullptr;
    int imageGroupRows_ = 0;
    QGridLayout* imageGroupLayout_ = nullptr;
    QButtonGroup* imageGroup_ = nullptr;
    int imageGroupHeights_ = 0;
    GridSpec imageGroupSpec_;

    QList<QGridLayout*> imageGrids_;
    CardSection* currentSection_ = nullptr;
    QList<CardSection*> sections_;
    QList<QLineEdit*> lineEdits_;
    int status_ = SettingsStatus::Unchanged;
    QWidget* content_ = nullptr;
};
