#include "kit/widgets/StyleHelpers.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QStringList>
#include <QWidget>

#include <cmath>
#include <cstring>

#define KIT_COLOUR(name, r, g, b)                                                                  \
    const QColor& name()                                                                           \
    {                                                                                              \
        static const QColor colour(r, g, b);                                                       \
        return colour;                                                                             \
    }

KIT_COLOUR(kitColourText, 71, 71, 71)
KIT_COLOUR(kitColourInactiveText, 94, 94, 94)
KIT_COLOUR(kitColourBorder, 208, 208, 208)
KIT_COLOUR(kitColourLightFill, 241, 241, 241)
KIT_COLOUR(kitColourButtonBorder, 181, 181, 181)
KIT_COLOUR(kitColourControl, 146, 146, 146)
KIT_COLOUR(kitColourDim, 23, 23, 23)
KIT_COLOUR(kitColourError, 212, 31, 46)
KIT_COLOUR(kitColourDeviceName, 254, 167, 1)
KIT_COLOUR(kitColourGrey247, 247, 247, 247)
KIT_COLOUR(kitColourGrey218, 218, 218, 218)
KIT_COLOUR(kitColourGrey40, 40, 40, 40)
KIT_COLOUR(kitColourLightRed, 251, 94, 94)
KIT_COLOUR(kitColourGrey119, 119, 119, 119)
KIT_COLOUR(kitColourGrey26, 26, 26, 26)
KIT_COLOUR(kitColourGrey58, 58, 58, 58)
KIT_COLOUR(kitColourGrey45, 45, 45, 45)
KIT_COLOUR(kitColourGrey31, 31, 31, 31)
KIT_COLOUR(kitColourGrey245, 245, 245, 245)

#undef KIT_COLOUR

QString colourToHex(const QColor& colour)
{
    return QStringLiteral("#%1%2%3")
        .arg(colour.red(), 2, 16, QLatin1Char('0'))
        .arg(colour.green(), 2, 16, QLatin1Char('0'))
        .arg(colour.blue(), 2, 16, QLatin1Char('0'));
}

QString colourToRgba(const QColor& colour, int alpha)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(alpha);
}

namespace {

const char kFamilyLight[] = "TWG Open Sans Light";
const char kFamilyRegular[] = "TWG Open Sans";
const char kFamilySemibold[] = "TWG Open Sans Semibold";

// The embedded faces and the family each registers under when the resource is missing.
struct EmbeddedFace {
    const char* kitFamily;
    const char* resource;
    const char* fallbackFamily;
};

const EmbeddedFace kEmbeddedFaces[] = {
    {kFamilyLight, ":/OpenSans-Light", "Open Sans Light"},
    {kFamilyRegular, ":/OpenSans-Regular", "Open Sans"},
    {kFamilySemibold, ":/OpenSans-Semibold", "Open Sans Semibold"},
};

} // namespace

KitFontSpec kitFontSpec(int index)
{
    switch (index) {
    case 0: return {kFamilyLight, 30, QFont::Light};
    case 1: return {kFamilyRegular, 15, QFont::Normal};
    case 2: return {kFamilySemibold, 15, QFont::DemiBold};
    case 3: return {kFamilyRegular, 13, QFont::Normal};
    case 4: return {kFamilySemibold, 13, QFont::DemiBold};
    case 5: return {kFamilyRegular, 11, QFont::Normal};
    case 6: return {kFamilySemibold, 11, QFont::DemiBold};
    case 7: return {kFamilyRegular, 12, QFont::Normal};
    case 8: return {kFamilySemibold, 12, QFont::DemiBold};
    case 11: return {kFamilyLight, 21, QFont::Light};
    case 12: return {kFamilySemibold, 18, QFont::DemiBold};
    case 13: return {kFamilySemibold, 26, QFont::DemiBold};
    default: return {QStringLiteral("Times"), 24, QFont::Bold};
    }
}

void initKitFonts()
{
    static const bool done = [] {
        for (const EmbeddedFace& face : kEmbeddedFaces) {
            QStringList families;
            const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(face.resource));
            if (id >= 0)
                families = QFontDatabase::applicationFontFamilies(id);
            // An installed copy of the family still serves when the resource is not linked.
            families << QString::fromLatin1(face.fallbackFamily);
            families.removeDuplicates();
            QFont::insertSubstitutions(QString::fromLatin1(face.kitFamily), families);
        }
        return true;
    }();
    (void)done;
}

QFont kitFont(int index)
{
    initKitFonts();
    const KitFontSpec spec = kitFontSpec(index);
    QFont font(spec.family);
    font.setWeight(spec.weight);
    qreal dpi = 96.0;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        dpi = screen->logicalDotsPerInch();
    font.setPointSizeF(spec.size * 72.0 / dpi);
    return font;
}

QLabel* createStyledLabel(int fontIndex, const QColor& colour, QWidget* parent)
{
    auto* label = new QLabel(parent);
    QPalette palette = label->palette();
    palette.setBrush(QPalette::All, QPalette::WindowText, colour);
    QColor disabled = colour;
    disabled.setAlpha(100);
    palette.setBrush(QPalette::Disabled, QPalette::WindowText, disabled);
    label->setPalette(palette);
    label->setFont(kitFont(fontIndex));
    return label;
}

QString elideToWidth(QWidget* widget, const QString& text, Qt::TextElideMode mode)
{
    return widget->fontMetrics().elidedText(text, mode, widget->width());
}

QPixmap loadIconPixmap(const QString& resourceName)
{
    const QIcon icon(resourceName);
    const QList<QSize> sizes = icon.availableSizes();
    if (sizes.isEmpty())
        return QPixmap();
    return icon.pixmap(sizes.first());
}

QPixmap fadedPixmap(const QPixmap& source, int state)
{
    qreal opacity = 0.0;
    switch (state) {
    case 0: opacity = 0.3; break;
    case 1: opacity = 1.0; break;
    case 2: opacity = 0.75; break;
    case 3: opacity = 0.4; break;
    default: break;
    }
    QPixmap faded(source.size());
    faded.setDevicePixelRatio(source.devicePixelRatio());
    faded.fill(Qt::transparent);
    if (!faded.isNull()) {
        QPainter painter(&faded);
        painter.setOpacity(opacity);
        painter.drawPixmap(0, 0, source);
    }
    return faded;
}

namespace {

double powerOfTen(int decimals)
{
    double factor = 1.0;
    for (int i = 0; i < decimals; ++i)
        factor *= 10.0;
    for (int i = 0; i > decimals; --i)
        factor /= 10.0;
    return factor;
}

} // namespace

double scaleDown(int value, int decimals)
{
    return value / powerOfTen(decimals);
}

int scaleUpRounded(double value, int decimals)
{
    return static_cast<int>(std::floor(value * powerOfTen(decimals) + 0.5));
}

QString utf8ToQString(const char* bytes, int maxLength)
{
    if (!bytes)
        return QString();
    if (maxLength < 0)
        return QString::fromUtf8(bytes);
    const void* nul = std::memchr(bytes, 0, static_cast<size_t>(maxLength));
    const int length = nul ? static_cast<int>(static_cast<const char*>(nul) - bytes) : maxLength;
    return QString::fromUtf8(bytes, length);
}

QString utf8ToQString(const std::string& bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<int>(bytes.size()));
}
