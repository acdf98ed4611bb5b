#pragma once

#include <QDialog>
#include <QFont>
#include <QString>
#include <QVector>

class Family;
class QLabel;

// The build text of the shell itself, fixed when the program is built.
QString shellBuildText();
// The font for build reports: the candidate when it is fixed-pitch, else "courier".
QFont buildInfoFontFrom(const QFont& candidate);
// A new label without parent showing a build report in a fixed-pitch, selectable font.
QLabel* buildInfoLabel(const QString& text);

// The shell's build text above one tab per family with the family's own report.
class BuildDetailsDialog : public QDialog {
    Q_OBJECT
public:
    BuildDetailsDialog(QWidget* parent, const QVector<Family*>& families);
};
