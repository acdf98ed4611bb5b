#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>

// The about box: icon, application name, version and the maker's notice.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent);

    void setPixmap(const QPixmap& pixmap);
    void setAppName(const QString& name);
    void setVersion(const QString& version);
    void setReleaseYear(const QString& year);

    bool isTwoLineName() const { return twoLineName_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap icon_;
    QString appName_;
    QString version_;
    QString releaseYear_;
    bool twoLineName_ = false;
};
