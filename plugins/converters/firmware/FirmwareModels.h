#pragma once

#include "plugins/converters/firmware/FirmwareModelIds.h"

#include <cstdint>
#include <string>

namespace TWG::USB {
class FirmwareFileLocation;
class FirmwarePackageEntryList;
} // namespace TWG::USB

// How a set of a model with firmware reads its package.
namespace FirmwareModels {

// The package file of a model; null outside both lists.
TWG::USB::FirmwareFileLocation* location(std::uint16_t productId);

// The model's firmware entries with their data inflated. A package that cannot be found, does
// not read cleanly or holds an image that does not inflate gives an empty list and false, with
// the reason in *problem: a half-read package is never offered.
bool readEntries(std::uint16_t productId, TWG::USB::FirmwarePackageEntryList& list, std::string* problem);

} // namespace FirmwareModels
