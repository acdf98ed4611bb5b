#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace TWG {

// Replaces the map with the pairs of a TXT record's length-prefixed strings. The run ends at
// the end of the data, at a length of 0 or at a string that would run past the end; a string
// without "=" is a key with an empty value; a later key replaces an earlier one.
void applyTxtRecord(std::map<std::string, std::string>* txt, const std::uint8_t* data, std::size_t length);

} // namespace TWG
