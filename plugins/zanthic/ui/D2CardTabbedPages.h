#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QRect>
#include <QWidget>

class QButtonGroup;
class QHBoxLayout;
class QStackedWidget;

namespace TWG {
namespace Zanthic {

// A tab of the Zanthic settings page's row: its title, underlined in orange while checked.
class D2TabButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int kHeight = 50;

    explicit D2TabButton(const QString& title, QWidget* parent = nullptr);

    const QString& title() const { return title_; }
    const QRect& titleRect() const { return titleRect_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_;
    QRect titleRect_;
};

// The tab row over the stack of pages. Left tabs stand in the order added; each right tab
// stands left of the right tabs added before it.
class D2CardTabbedPages : public QWidget {
    Q_OBJECT
public:
    enum Side : int { Left = 0, Right = 1 };

    explicit D2CardTabbedPages(const QColor& colour, QWidget* parent = nullptr);

    int addPage(QWidget* page, const QString& title, int side);
    int currentIndex() const { return currentIndex_; }
    QStackedWidget* stack() const { return stack_; }
    QButtonGroup* buttons() const { return buttons_; }
    QHBoxLayout* tabRow() const { return tabRow_; }

signals:
    void tabSelected(int index);

public slots:
    void onButtonClicked(int index);

private:
    QColor colour_;
    int currentIndex_ = 0;
    QHBoxLayout* tabRow_;
    QButtonGroup* buttons_;
    QStackedWidget* stack_;
    int leftInsert_ = 2;
    int rightInsert_ = 3;
};

} // namespace Zanthic
} // namespace TWG
