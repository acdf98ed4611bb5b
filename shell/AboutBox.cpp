#include "shell/AboutBox.h"

#include "kit/widgets/StyleHelpers.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int kWidth = 286;
constexpr int kHeight = 288;
// A name that needs two lines pushes everything below it down by this much.
constexpr int kTwoLineExtra = 25;
constexpr int kNameMargin = 30;
constexpr int kNameFont = 11;
constexpr int kVersionFont = 3;
constexpr int kNoticeFont = 5;
} // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent, Qt::MSWindowsFixedSizeDialogHint)
{
    setFixedSize(kWidth, kHeight);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kitColourLightFill());
    setPalette(pal);
    setAutoFillBackground(true);
}

void AboutBox::setPixmap(const QPixmap& pixmap)
{
    icon_ = pixmap;
    update();
}

void AboutBox::setAppName(const QString& name)
{
    appName_ = name;
    const QFontMetrics metrics(kitFont(kNameFont));
    twoLineName_ = metrics.boundingRect(name).width() > width() - 2 * kNameMargin;
    setFixedSize(kWidth, twoLineName_ ? kHeight + kTwoLineExtra : kHeight);
    update();
}

void AboutBox::setVersion(const QString& version)
{
    version_ = version;
    update();
}

void AboutBox::setReleaseYear(const QString& year)
{
    releaseYear_ = year;
    update();
}

void AboutBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int w = width();
    const int h = height();
    const int shift = twoLineName_ ? kTwoLineExtra : 0;
    if (!icon_.isNull())
        painter.drawPixmap(int((w - icon_.width() / icon_.devicePixelRatio()) * 0.5), 52, icon_);
    if (!appName_.isEmpty()) {
        painter.setPen(Qt::black);
        painter.setFont(kitFont(kNameFont));
        painter.drawText(QRect(kNameMargin, 126, w - 2 * kNameMargin, h - 261), Qt::AlignCenter | Qt::TextWordWrap,
                         appName_);
    }
    painter.setPen(kitColourText());
    painter.setFont(kitFont(kVersionFont));
    painter.drawText(QRect(0, 166 + shift, w, 20), Qt::AlignCenter, tr("Version %1").arg(version_));
    painter.setPen(kitColourButtonBorder());
    painter.drawLine(30, 204 + shift, w - 31, 204 + shift);
    painter.setPen(kitColourText());
    painter.setFont(kitFont(kNoticeFont));
    painter.drawText(QRect(0, 225 + shift, w, 40), Qt::AlignCenter,
                     tr("Copyright \u00a9 %1 Tarnwright Works.\nAll rights reserved.").arg(releaseYear_));
}
