#pragma once

// The kit's look: palette, fonts, colour texts for style sheets and small pixmap helpers.
//
// Palette (RGB -> function; every colour has alpha 255 and never changes):
//   (100, 100, 100)  brandingAccentColour()  (kit/branding; the initial accent, replaceable)
//   ( 71,  71,  71)  kitColourText()           ordinary text, button text
//   ( 94,  94,  94)  kitColourInactiveText()   inactive tabs and control texts
//   (208, 208, 208)  kitColourBorder()         borders, separators, gradient bottoms
//   (241, 241, 241)  kitColourLightFill()      gradient tops and light fills
//   (181, 181, 181)  kitColourButtonBorder()   push-button border
//   (146, 146, 146)  kitColourControl()        settings controls
//   ( 23,  23,  23)  kitColourDim()            dimmed background of cards and dialogs (alpha 150)
//   (212,  31,  46)  kitColourError()          error text
//   (254, 167,   1)  kitColourDeviceName()     device name in the card header
//   (247, 247, 247)  kitColourGrey247()
//   (218, 218, 218)  kitColourGrey218()
//   ( 40,  40,  40)  kitColourGrey40()
//   (251,  94,  94)  kitColourLightRed()
//   (119, 119, 119)  kitColourGrey119()
//   ( 26,  26,  26)  kitColourGrey26()
//   ( 58,  58,  58)  kitColourGrey58()
//   ( 45,  45,  45)  kitColourGrey45()
//   ( 31,  31,  31)  kitColourGrey31()
//   (245, 245, 245)  kitColourGrey245()
//
// Kit fonts by index (family, nominal pixel size, Qt weight):
//   0 Light 30/25, 1 Regular 15/50, 2 Semibold 15/63, 3 Regular 13/50, 4 Semibold 13/63,
//   5 Regular 11/50, 6 Semibold 11/63, 7 Regular 12/50, 8 Semibold 12/63, 11 Light 21/25,
//   12 Semibold 18/63, 13 Semibold 26/63; any other index "Times" 24/75.

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>

#include <string>

class QLabel;
class QWidget;

const QColor& kitColourText();
const QColor& kitColourInactiveText();
const QColor& kitColourBorder();
const QColor& kitColourLightFill();
const QColor& kitColourButtonBorder();
const QColor& kitColourControl();
const QColor& kitColourDim();
const QColor& kitColourError();
const QColor& kitColourDeviceName();
const QColor& kitColourGrey247();
const QColor& kitColourGrey218();
const QColor& kitColourGrey40();
const QColor& kitColourLightRed();
const QColor& kitColourGrey119();
const QColor& kitColourGrey26();
const QColor& kitColourGrey58();
const QColor& kitColourGrey45();
const QColor& kitColourGrey31();
const QColor& kitColourGrey245();

// "#rrggbb", lower-case.
QString colourToHex(const QColor& colour);
// "rgba(r, g, b, alpha)"; the colour's own alpha is ignored.
QString colourToRgba(const QColor& colour, int alpha);

struct KitFontSpec {
    QString family;
    int size = 0;   // nominal size, behaves as pixels
    int weight = 0; // Qt's 0-99 scale
};

KitFontSpec kitFontSpec(int index);

// Registers the kit's embedded faces and maps the "TWG Open Sans" families onto them. kitFont
// calls it; needs a QGuiApplication. Safe to call more than once.
void initKitFonts();

// The kit font of the index, its point size chosen so that the nominal size is in pixels.
QFont kitFont(int index);

QLabel* createStyledLabel(int fontIndex, const QColor& colour, QWidget* parent);

QString elideToWidth(QWidget* widget, const QString& text, Qt::TextElideMode mode);

// Null when the resource does not exist.
QPixmap loadIconPixmap(const QString& resourceName);

// state: 0 -> 30 %, 1 -> 100 %, 2 -> 75 %, 3 -> 40 %, other -> invisible.
QPixmap fadedPixmap(const QPixmap& source, int state);

double scaleDown(int value, int decimals);
// Rounds half up: floor(value * 10^decimals + 0.5), negatives included.
int scaleUpRounded(double value, int decimals);

// Device texts: stops at the first NUL within maxLength bytes (-1: NUL-terminated).
QString utf8ToQString(const char* bytes, int maxLength = -1);
QString utf8ToQString(const std::string& bytes);
