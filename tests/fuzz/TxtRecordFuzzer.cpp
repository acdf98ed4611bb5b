// The TXT rule, as browsing and the unicast reply apply it to a record's data.
//   input: the record's data
#include "discovery/TxtRecord.h"

#include <map>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // No string of a record is this long, so the rule cannot make this key: it must go.
    const std::string stale(256, 'k');
    std::map<std::string, std::string> txt{{stale, "v"}};
    TWG::applyTxtRecord(&txt, size ? data : nullptr, size);
    if (txt.count(stale))
        __builtin_trap();
    // Each pair came from a string of its own, behind its length byte; a key ends at the first "=".
    std::size_t used = 0;
    for (const auto& pair : txt) {
        if (pair.first.find('=') != std::string::npos)
            __builtin_trap();
        used += 1 + pair.first.size() + pair.second.size();
    }
    if (used > size)
        __builtin_trap();
    return 0;
}
