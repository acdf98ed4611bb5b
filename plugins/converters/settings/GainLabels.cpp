#include "plugins/converters/settings/GainLabels.h"

#include "converters/GainScale.h"

#include <QCoreApplication>

namespace {

constexpr int kFieldWidth = 5;
constexpr int kPrecision = 2;

QString decibelText(double decibels)
{
    return QCoreApplication::translate("GainLabels", "%1 dB")
        .arg(decibels, kFieldWidth, 'f', kPrecision, QLatin1Char(' '));
}

} // namespace

void videoGainLabel(QString* out, std::uint8_t value)
{
    if (out)
        *out = decibelText(TWG::Converters::videoGainToDecibels(value));
}

void audioGainLabel(QString* out, std::uint8_t value)
{
    if (!out)
        return;
    *out = value == 0 ? QCoreApplication::translate("GainLabels", "Off")
                      : decibelText(TWG::Converters::audioGainToDecibels(value));
}
