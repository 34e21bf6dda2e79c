// Writes values into the stamped slots of a launcher image held in memory.
// The marker texts stay intact; only value areas change, and nothing changes
// unless every requested value fits.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Slot type name -> values (several only for the server list).
using StampValues = std::map<std::string, std::vector<std::string>>;

// Empty on success, else a message for the user; `image` is untouched then.
std::string stampImage(std::vector<uint8_t>& image, const StampValues& values);

// "TYPE=value" lines of every slot found in the image (one line per server
// URL), or an error message in `error`.
std::vector<std::string> showStamps(const std::vector<uint8_t>& image, std::string& error);
