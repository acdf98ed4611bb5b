#pragma once

#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QVector>

#include <deque>

class CardPushButton;
class QAbstractButton;
class QLabel;
class SettingsCheckBox;
class SettingsSlider;
class SettingsSliderValue;

// Spacing, alignment and margins of a settings grid block.
struct GridSpec {
    int horizontalSpacing = 0;
    int verticalSpacing = 0;
    int alignment = 0;        // Qt::Alignment flags
    int columns = 0;          // 0 or less: every entry in one row
    int sideMargin = 0;       // left and right
    int edgeMargin = 0;       // top and bottom
    int captionTopMargin = 0;
};

GridSpec checkBoxGridSpec();
GridSpec radioGridSpec();
GridSpec uncaptionedImageGroupSpec();
GridSpec captionedImageGroupSpec();

// The choices of an image-option group, kept as three parallel lists.
struct ImageOptionList {
    QVector<QPixmap> images;
    QVector<int> values;
    QStringList texts;

    void add(const QPixmap& image, const QString& text, int value);
};

// The choices of a radio grid; each remembers the button built for it. Options never move once
// added, so a reference to an option's button stays valid while more are added.
class OptionList {
public:
    struct Option {
        QString text;
        int value = 0;
        QAbstractButton* button = nullptr;
    };

    void add(const QString& text, int value);

    int size() const { return static_cast<int>(options_.size()); }
    Option& at(int index) { return options_[static_cast<size_t>(index)]; }
    const Option& at(int index) const { return options_[static_cast<size_t>(index)]; }

private:
    std::deque<Option> options_;
};

struct CheckBoxPair {
    SettingsCheckBox* first = nullptr;
    SettingsCheckBox* second = nullptr;
};

struct SliderWithValue {
    SettingsSlider* slider = nullptr;
    SettingsSliderValue* value = nullptr;
};

// A status text with a button that is offered only while the status is highlighted.
struct StatusButtonRow {
    QLabel* label = nullptr;
    CardPushButton* button = nullptr;

    void setHighlighted(bool on, const QString& text);
};
