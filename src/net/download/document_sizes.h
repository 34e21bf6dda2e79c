// How large the server's documents may be, all in one place. A larger
// answer is refused as a damaged answer of its kind without being held in
// memory: a Content-Length above the cap fails before the body is read, and
// a body without one is read only up to one byte past the cap.
#pragma once

#include <cstddef>
#include <cstdint>

// The manifest archive, "update.rxml".
inline constexpr uint64_t kMaxManifestArchiveBytes = 64u << 20;
// Client update data, as the server sends them and as "CUD.dat" keeps them;
// they are a few kilobytes, anything much larger is not ours.
inline constexpr size_t kMaxCudFileBytes = 1u << 20;
// The terms-of-use text.
inline constexpr uint64_t kMaxTermsBytes = 1u << 20;
// A maintenance page: the body of a 502 or 503 answer to any request.
inline constexpr uint64_t kMaxMaintenancePageBytes = 1u << 20;
