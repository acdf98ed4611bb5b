#pragma once

#include <QList>
#include <QPair>
#include <QWidget>

class CardScrollArea;
class QButtonGroup;
class QLabel;
class QVBoxLayout;

namespace TWG {
namespace Zanthic {

class D2FirmwareUpdateRow;
class D2SettingsCheckBox;
class D2SettingsLineEdit;
class D2SettingsPushButton;
class FirmwareUpdateInfo;

// A tab of the Zanthic settings page, built from titled sections of fixed-geometry rows (label
// on the left, control on the right). Each tab writes its settings as they change; the page
// asks it to write back what it saved (Cancel) or to send what is still pending (Save).
class D2SettingsTab : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 32;
    static constexpr int kControlX = 234;
    static constexpr int kControlY = 4;

    // A titled group of rows; its separator shows only when another section follows.
    class Section : public QWidget {
    public:
        Section(const QString& title, QWidget* parent);
        const QString& title() const { return title_; }
        QList<QWidget*> rows;
        QWidget* separator = nullptr;

    private:
        QString title_;
    };

    explicit D2SettingsTab(QWidget* parent = nullptr);

    virtual void revertSettings() = 0;
    virtual void applySettings() = 0;

    const QList<Section*>& sections() const { return sections_; }
    QWidget* content() const { return content_; }
    CardScrollArea* scrollArea() const { return scroll_; }

    void addSection(const QString& title);
    QWidget* addRow(const QString& label);
    D2SettingsCheckBox* addCheckBox(const QString& label, const QString& text);
    D2SettingsLineEdit* addLineEdit(const QString& label, int validatorKind);
    D2SettingsPushButton* addPushButton(const QString& label, const QString& text);
    QPair<D2SettingsPushButton*, D2SettingsPushButton*> addPushButtonPair(const QString& label, const QString& text1,
                                                                          const QString& text2);
    QButtonGroup* addRadioGroup(const QList<QPair<int, QString>>& entries, const QString& label);
    static void setRadioGroupChecked(QButtonGroup* group, int id);
    void addWidget(QWidget* widget);
    D2FirmwareUpdateRow* addFirmwareRow(FirmwareUpdateInfo& device);
    void finishLayout();

public slots:
    // Bookmarks are not offered by any Zanthic tab; declared for a tab that would.
    virtual void onRaiseBookmarkMenu() {}
    virtual void onBookmarkSelected(int) {}

private:
    QVBoxLayout* outer_;
    CardScrollArea* scroll_;
    QWidget* content_;
    QVBoxLayout* contentLayout_;
    Section* current_ = nullptr;
    QList<Section*> sections_;
};

// The label of a settings row, where every row has it.
QLabel* addD2RowLabel(QWidget* row, const QString& text, int y = 7);

} // namespace Zanthic
} // namespace TWG
