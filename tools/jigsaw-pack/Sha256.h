// SHA-256 of a byte block, as lower-case hex; the package dump names blobs by it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kvtools {

std::string Sha256Hex(std::span<const uint8_t> bytes);

} // namespace kvtools
