#pragma once

#include "kit/framework/SettingsTab.h"
#include "kit/widgets/TightLayouts.h"
#include "kit/widgets/card/CardSection.h"
#include "kit/widgets/card/CardSeparator.h"
#include "kit/widgets/settings/RowSpacer.h"

#include <QStringList>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// The tab's column as a line of tokens: "s11" a spacer, "break" a section break line, "dark" and
// "light" separators, "section", "row31" a row of that height, "stretch". Hidden items get a
// leading "-".
inline QString columnDump(const SettingsTab& tab)
{
    QStringList tokens;
    TightVBoxLayout* column = tab.columnLayout();
    for (int i = 0; i < column->count(); ++i) {
        QWidget* widget = column->itemAt(i)->widget();
        if (!widget) {
            tokens << QStringLiteral("stretch");
            continue;
        }
        QString token;
        if (qobject_cast<RowSpacer*>(widget))
            token = QStringLiteral("s%1").arg(widget->minimumHeight());
        else if (qobject_cast<CardSeparatorDarkMiddle*>(widget))
            token = QStringLiteral("break");
        else if (qobject_cast<CardSeparatorDark*>(widget))
            token = QStringLiteral("dark");
        else if (qobject_cast<CardSeparatorLight*>(widget))
            token = QStringLiteral("light");
        else if (qobject_cast<CardSection*>(widget))
            token = QStringLiteral("section");
        else
            token = QStringLiteral("row%1").arg(widget->minimumHeight());
        if (widget->isHidden())
            token.prepend(QLatin1Char('-'));
        tokens << token;
    }
    return tokens.join(QLatin1Char(' '));
}
