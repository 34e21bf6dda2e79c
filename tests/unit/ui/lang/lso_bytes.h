// Builds ".lso" bytes for the language tests, hostile ones included.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lsotest {

inline void appendU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

// A header with the given count and reserved word, then each entry with its
// real length.
inline std::vector<uint8_t> lsoBytes(uint32_t count, uint32_t reserved,
                                     const std::vector<std::string>& entries) {
    std::vector<uint8_t> out;
    appendU32(out, count);
    appendU32(out, reserved);
    for (const std::string& e : entries) {
        appendU32(out, static_cast<uint32_t>(e.size()));
        out.insert(out.end(), e.begin(), e.end());
    }
    return out;
}

// A well-formed table of `count` entries: "" then "<prefix> 1", "<prefix> 2"...
inline std::vector<uint8_t> lsoTable(uint32_t count, const std::string& prefix) {
    std::vector<std::string> entries{""};
    for (uint32_t i = 1; i < count; ++i)
        entries.push_back(prefix + " " + std::to_string(i));
    return lsoBytes(count, 0, entries);
}

} // namespace lsotest
