// Reads the resource directory of a PE image held in memory, for the tools
// that stamp or checksum a launcher without running it. Every offset read
// from the image is checked against its size: the image is untrusted input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct PeResource {
    size_t fileOffset; // where the resource's bytes start in the image
    size_t size;
};

enum class PeError { None, NotPe, NoResources, Malformed };

// Finds the resource of a named type and numeric id (first language).
// `error` says why nothing was found: a file that is not a PE image, one
// without resources, or a damaged directory.
std::optional<PeResource> findPeResource(const uint8_t* image, size_t length,
                                         const std::string& typeName, uint16_t id,
                                         PeError* error = nullptr);

bool isPeImage(const uint8_t* image, size_t length);
