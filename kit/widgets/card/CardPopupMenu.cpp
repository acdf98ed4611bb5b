#include "kit/widgets/card/CardPopupMenu.h"

#include "kit/widgets/StyleHelpers.h"

#include <QSignalMapper>

namespace {
constexpr int kMenuFont = 3;
const char* const kMenuStyle =
    "QMenu {\tbackground-color: white;\tborder: 0px transparent; border-radius: 8px;"
    "\tmargin-top, margin-bottom: 11px; margin-left, margin-right: 0px;}"
    "QMenu:item {\tbackground-color: white;\tcolor: %1;"
    "\tpadding-left: 25px; padding-right: 25px; padding-top: 1px; padding-bottom: 1px;}"
    "QMenu:item:selected {\tbackground-color: %2;}"
    "QMenu::indicator:checked {\timage: url(\":/Tick\");}";
} // namespace

CardPopupMenu::CardPopupMenu(QWidget* parent) : QMenu(parent), mapper_(new QSignalMapper(this))
{
    setFont(kitFont(kMenuFont));
    setStyleSheet(QString::fromLatin1(kMenuStyle).arg(colourToHex(kitColourText()), colourToHex(kitColourBorder())));
    connect(mapper_, &QSignalMapper::mappedInt, this, &CardPopupMenu::menuOptionPressed);
}

QAction* CardPopupMenu::addOption(const QString& text, int tag)
{
    QAction* action = addAction(text);
    connect(action, &QAction::triggered, mapper_, qOverload<>(&QSignalMapper::map));
    mapper_->setMapping(action, tag);
    return action;
}

void popupMenuAt(QMenu* menu, QWidget* widget, const QPoint& point)
{
    menu->popup(widget->mapToGlobal(point));
}
