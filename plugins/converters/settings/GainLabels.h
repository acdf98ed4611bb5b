#pragma once

#include <QString>

#include <cstdint>

// Turns a gain byte into the text shown beside its slider.
using GainLabelFormatter = void (*)(QString* out, std::uint8_t value);

// "-43.00 dB" .. " 6.00 dB", 0 dB at 128.
void videoGainLabel(QString* out, std::uint8_t value);
// "Off" for 0, else up to "12.00 dB", 0 dB at 64.
void audioGainLabel(QString* out, std::uint8_t value);
