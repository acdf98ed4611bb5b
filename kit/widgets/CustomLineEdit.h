#pragma once

#include <QLineEdit>

// A line edit that tells apart a finished edit that changed the text from one that did not.
class CustomLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CustomLineEdit(QWidget* parent = nullptr);

    // The text a finished edit is compared with; the owning control sets it.
    void setRememberedText(const QString& text) { remembered_ = text; }
    const QString& rememberedText() const { return remembered_; }
    bool isEditing() const { return editing_; }

signals:
    void editingFinishedWithNewText();

public slots:
    void onEdit();
    void onEditFinished();

private:
    QString remembered_;
    bool editing_ = false;
};
