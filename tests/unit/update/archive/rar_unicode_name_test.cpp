#include "update/archive/rar_unicode_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct NameCase {
    const char* what;
    std::string oem;              // before the zero byte; the field is this alone without one
    std::vector<uint8_t> encoded; // after the zero byte: high byte, flags, operands
    std::string expected;         // UTF-8
    bool hasZero = true;
};

std::vector<uint8_t> field(const NameCase& c) {
    std::vector<uint8_t> bytes(c.oem.begin(), c.oem.end());
    if (c.hasZero) {
        bytes.push_back(0);
        bytes.insert(bytes.end(), c.encoded.begin(), c.encoded.end());
    }
    return bytes;
}

TEST(RarUnicodeName, DecodesEveryOpcodeAndSurvivesDamage) {
    const NameCase cases[] = {
        {"0: low byte only", "A", {0x00, 0x00, 'A'}, "A"},
        {"1: under the high byte", "x", {0x88, 0x40, 0x68}, "表"},
        {"2: a whole unit, pairs make one code point",
         "x",
         {0x00, 0xA0, 0x3D, 0xD8, 0x00, 0xDE},
         "\xF0\x9F\x98\x80"},
        {"3: OEM bytes copied", "abcdef", {0x00, 0xC0, 0x01}, "abc"},
        {"3: OEM bytes corrected under the high byte",
         "\x82\x83",
         {0x30, 0xC0, 0x80, 0x66},
         "ヨラ"},
        {"3: a copy stops at the OEM name's end", "ab", {0x00, 0xC0, 0x7F}, "ab"},
        {"mixed: four opcodes from one flags byte",
         "abcd",
         {0x88, 0x1B, 'A', 0x68, 0x42, 0x00, 0x00},
         "A表Bd"},
        {"a zero unit ends the name", "x", {0x00, 0x00, 'A', 0x00, 'B'}, "A"},
        {"an unpaired surrogate is replaced",
         "x",
         {0x00, 0x80, 0x00, 0xD8, 'A'},
         "\xEF\xBF\xBD"
         "A"},
        {"truncated operand: what was decoded stays", "x", {0x00, 0x20, 'A', 0x41}, "A"},
        {"nothing after the zero byte", "abc", {}, ""},
        {"no zero byte: the field is UTF-8", "caf\xC3\xA9", {}, "caf\xC3\xA9", false},
        {"no zero byte and not UTF-8", "caf\xE9", {}, "", false},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> bytes = field(c);
        EXPECT_EQ(rarUnicodeName(bytes.data(), bytes.size()), c.expected);
    }
}

} // namespace
