#include "kit/widgets/TestModePixmap.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int kLargestPointSize = 70;
constexpr int kSmallestPointSize = 1;
const char kBannerFamily[] = "Helvetica";

QFont bannerFont(int pointSize)
{
    QFont font(QString::fromLatin1(kBannerFamily));
    font.setPointSize(pointSize);
    return font;
}

QPixmap startingPixmap(const QPixmap& source, int width, int height)
{
    if (!source.isNull())
        return source;
    QPixmap blank(width, height);
    blank.fill(Qt::transparent);
    return blank;
}

} // namespace

int TestModePixmap::bannerPointSize(const QString& text, int width, int height)
{
    // Stops at 1: a point size of 0 or less is invalid, so a tiny image gets the smallest text.
    int size = kLargestPointSize;
    for (; size > kSmallestPointSize; --size) {
        const QFontMetrics metrics(bannerFont(size));
        if (metrics.horizontalAdvance(text) < width && metrics.height() < height)
            break;
    }
    return size;
}

TestModePixmap::TestModePixmap(const QPixmap& source, int width, int height, int offset)
    : QPixmap(startingPixmap(source, width, height))
{
    if (isNull())
        return;
    const QString text = tr("TEST MODE");
    QPainter painter(this);
    painter.setPen(Qt::red);
    painter.setFont(bannerFont(bannerPointSize(text, width, height)));
    painter.drawText(0, offset + height / 2, text);
}
