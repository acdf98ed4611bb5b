#pragma once

#include <QString>

#include <cstdint>

// What the host shows of a converter model: its names and the resources of its pictures.
struct ConverterProduct {
    QString shortName; // under the gallery image
    QString fullName;
    QString picture;   // ":/Converters/..."; the thumbnail is this name with "Thumb" appended
    QString thumbnail;
};

// Empty names and resource names for an id that is no converter.
ConverterProduct converterProduct(std::uint16_t productId);
