// Reads a file under tests/fixtures (made by tests/fixtures/make-fixtures.py)
// for the zip and PNG tests.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fixturebytes {

// Empty when the file is missing: the callers assert on the size.
inline std::vector<uint8_t> read(const std::string& relativePath) {
    std::ifstream in(std::string(LAUNCHER_FIXTURES_DIR) + "/" + relativePath, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

} // namespace fixturebytes
