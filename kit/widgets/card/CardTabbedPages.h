#pragma once

#include <QColor>
#include <QWidget>

class QButtonGroup;
class QHBoxLayout;
class QStackedWidget;
class SettingsTab;
class TabButton;

// The settings page's tab strip over its stack of tabs. Keeps the largest status of all tabs.
class CardTabbedPages : public QWidget {
    Q_OBJECT
public:
    explicit CardTabbedPages(const QColor& colour, QWidget* parent = nullptr);

    int addPage(SettingsTab* page, const QString& title);
    // Shows the page without running the tabs' enter and leave hooks.
    void setCurrentIndex(int index);

    int currentIndex() const { return currentIndex_; }
    int count() const;
    SettingsTab* page(int index) const;
    TabButton* tabButton(int index) const;
    int overallStatus() const { return overallStatus_; }
    QStackedWidget* stack() const { return stack_; }
    QColor colour() const { return colour_; }

signals:
    void settingsStatusChanged();

public slots:
    void onButtonClicked(int index);
    void onPageStatusChange();

private:
    QColor colour_;
    int currentIndex_ = 0;
    QButtonGroup* buttons_;
    QHBoxLayout* tabRow_;
    QStackedWidget* stack_;
    int overallStatus_ = 0;
};
