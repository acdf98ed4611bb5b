#pragma once

#include "plugins/converters/settings/LutDialogs.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

namespace luttest {

// Answers the Video tab's LUT dialogs at once and records what they were asked; the hooks run
// while a dialog would be open.
struct DialogAnswers {
    QString path; // the file chosen; empty: cancelled
    QStringList captions;
    QStringList filters;
    std::vector<QWidget*> parents;
    std::vector<std::pair<QString, QString>> boxes; // title, text
    std::function<void()> whileFileDialog;
    std::function<void()> whileBox;

    LutDialogs dialogs()
    {
        LutDialogs d;
        d.openFile = [this](QWidget* parent, const QString& caption, const QString& filter) {
            parents.push_back(parent);
            captions << caption;
            filters << filter;
            if (whileFileDialog)
                whileFileDialog();
            return path;
        };
        d.critical = [this](QWidget* parent, const QString& title, const QString& text) {
            parents.push_back(parent);
            boxes.emplace_back(title, text);
            if (whileBox)
                whileBox();
        };
        return d;
    }
};

} // namespace luttest
