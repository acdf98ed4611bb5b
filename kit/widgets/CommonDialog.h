#pragma once

#include "kit/widgets/VantorelDialog.h"

class BusyButton;
class CardPushButton;
class QLabel;
class QProgressBar;

// Fits a word-wrapped label to whole lines of lineHeight pixels; returns its new height.
int setLabelHeightForText(QLabel* label, int lineHeight);

// The system's one dialog layout: title bar, heading and message (or a plain message), then
// two answer buttons, one close button or a progress bar. Choose a mode before showing it.
class CommonDialog : public VantorelDialog {
    Q_OBJECT
public:
    CommonDialog(const QString& title, QWidget* parent);

    void placeButtons(int y);
    void setTitleAndMessage(const QString& heading, const QString& message);
    void setTwoButtons(const QString& noText, const QString& yesText);
    void setSingleButton(const QString& text);
    void showProgressBar();
    void setMessageOnly(const QString& message);

    QLabel* titleLabel() const { return titleLabel_; }
    QLabel* headingLabel() const { return headingLabel_; }
    QLabel* messageLabel() const { return messageLabel_; }
    QLabel* plainMessageLabel() const { return plainMessageLabel_; }
    QLabel* progressLabel() const { return progressLabel_; }
    CardPushButton* noButton() const { return noButton_; }
    CardPushButton* yesButton() const { return yesButton_; }
    CardPushButton* closeButton() const { return closeButton_; }
    QProgressBar* progressBar() const { return progressBar_; }
    BusyButton* spinner() const { return spinner_; }

signals:
    void yesClicked();
    void noClicked();
    void closeClicked();
    void linkActivated(QString link);

public slots:
    // Negative: working without a known amount.
    void setProgress(int percent);

private:
    void hideSpinner();

    QFrame* titleBar_;
    QLabel* titleLabel_;
    QLabel* headingLabel_;
    QLabel* messageLabel_;
    QLabel* plainMessageLabel_;
    QLabel* progressLabel_;
    CardPushButton* noButton_;
    CardPushButton* yesButton_;
    CardPushButton* closeButton_;
    QProgressBar* progressBar_;
    BusyButton* spinner_;
    bool indeterminate_ = false;
};
