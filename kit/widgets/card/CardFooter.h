#pragma once

#include <QFrame>

class CardPopupMenu;
class CardPushButton;
class FlatImageButton;

// The bottom of a settings page: the settings (menu) button, Cancel and Save.
class CardFooter : public QFrame {
    Q_OBJECT
public:
    static constexpr int kHeight = 66;

    explicit CardFooter(QWidget* parent = nullptr);

    // Save turns into Close and Cancel goes; the button still emits savePressed().
    void showCloseOnly();
    void setButtonsVisible(bool visible);
    void setSettingsButtonVisible(bool visible);
    // Applies a tab status: Unchanged and Changed enable Save, Invalid disables it.
    void setSaveEnabledForStatus(int settingsStatus);

    FlatImageButton* settingsButton() const { return settingsButton_; }
    CardPopupMenu* popupMenu() const { return popupMenu_; }
    CardPushButton* cancelButton() const { return cancelButton_; }
    CardPushButton* saveButton() const { return saveButton_; }

signals:
    void settingsButtonPushed();
    void menuOptionPressed(int tag);
    void cancelPressed();
    void savePressed();

public slots:
    void onSettingsPressed();

private:
    FlatImageButton* settingsButton_;
    CardPopupMenu* popupMenu_;
    CardPushButton* cancelButton_;
    CardPushButton* saveButton_;
};
