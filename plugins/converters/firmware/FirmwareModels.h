#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace TWG::USB {
class FirmwareFileLocation;
class FirmwarePackageEntryList;
} // namespace TWG::USB

// The converter models that have a firmware package, and how a set reads its package.
namespace FirmwareModels {

const std::vector<std::uint16_t>& fx2Models();
const std::vector<std::uint16_t>& xmegaModels();
bool isFx2Model(std::uint16_t productId);
bool isXmegaModel(std::uint16_t productId);

// The package file of a model; null outside both lists.
TWG::USB::FirmwareFileLocation* location(std::uint16_t productId);

// The model's firmware entries with their data inflated. A package that cannot be found, does
// not read cleanly or holds an image that does not inflate gives an empty list and false, with
// the reason in *problem: a half-read package is never offered.
bool readEntries(std::uint16_t productId, TWG::USB::FirmwarePackageEntryList& list, std::string* problem);

} // namespace FirmwareModels
