#pragma once

#include <QString>

#include <functional>

class QWidget;

// The modal questions of a LUT load. Tests answer them without a modal loop; the real ones may
// see their parent deleted while they run (a converter unplugged meanwhile).
struct LutDialogs {
    // An existing file's path; empty when cancelled.
    std::function<QString(QWidget* parent, const QString& caption, const QString& filter)> openFile;
    std::function<void(QWidget* parent, const QString& title, const QString& text)> critical;

    static LutDialogs modal();
};
