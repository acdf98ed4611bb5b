#include "shell/CrossMenu.h"

#include "kit/widgets/StyleHelpers.h"

#include <QSignalMapper>

CrossMenu::CrossMenu(QWidget* parent) : QMenu(parent), mapper_(new QSignalMapper(this))
{
    setStyleSheet(QStringLiteral("QMenu {\tbackground-color: white;\tborder: 0px transparent; border-radius: 8px;"
                                 "\tpadding-top: 6px; padding-bottom: 6px;\tmargin-top, margin-bottom: 0px; "
                                 "margin-left, margin-right: 0px;}"
                                 "QMenu:item {\tbackground-color: white;\tcolor: %1;\tpadding-left: 15px; "
                                 "padding-right: 15px; padding-top: 3px; padding-bottom: 2px;}"
                                 "QMenu:item:selected {\tbackground-color: %2;}"
                                 "QMenu::indicator:checked {\timage: url(\":/Tick\");}")
                      .arg(colourToHex(kitColourText()), colourToHex(kitColourBorder())));
    setFont(kitFont(1));
    connect(mapper_, &QSignalMapper::mappedString, this, &CrossMenu::menuOptionSelected);
}

void CrossMenu::setOptions(const QStringList& texts)
{
    const QList<QAction*> old = actions();
    for (QAction* action : old)
        mapper_->removeMappings(action);
    clear();
    for (const QString& text : texts) {
        QAction* action = addAction(text);
        connect(action, &QAction::triggered, mapper_, qOverload<>(&QSignalMapper::map));
        mapper_->setMapping(action, text);
    }
}
