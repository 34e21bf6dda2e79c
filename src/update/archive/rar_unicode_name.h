// The Unicode name a RAR 3/4 file header may carry beside its OEM name.
// When the header's Unicode flag is set, the name field holds either the OEM
// name, a zero byte and the Unicode name in RAR's compact encoding, or (with
// no zero byte) the name in UTF-8. Pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The name as UTF-8, or "" when the field holds no usable Unicode name (the
// caller then keeps the OEM name). The encoded form is decoded until its
// bytes run out; a zero unit ends the name; unpaired surrogates become
// U+FFFD. `field` is the whole name field of `size` bytes.
std::string rarUnicodeName(const uint8_t* field, size_t size);
