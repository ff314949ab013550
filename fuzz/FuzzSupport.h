// Shared by the fuzz targets: wrapping fuzzer bytes into a package so that the input reaches one record
// reader past the zlib layer, decoding pictures, and the errors a reader may raise.
#pragma once

#include "data/uExecData.h"
#include "data/uKVStream.h"
#include "gui/uPictureFormat.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvfuzz {

// A package whose data section is the signature followed by the given raw record bytes and an end record.
kv::TMemoryStream PackageWithRecords(const uint8_t* data, std::size_t size);
// A package whose data section holds one record with the given tag, the fuzzer bytes as its payload and
// their size in the length field.
kv::TMemoryStream PackageWithRecord(uint16_t tag, const uint8_t* data, std::size_t size);
// Loads a package into a fresh model; the errors a hostile package may raise are expected and swallowed,
// anything else escapes and stops the fuzzer.
void LoadTolerant(kv::TMemoryStream& package);
// Decodes the bytes as one kind of picture file; a reader's error is expected and swallowed, anything else
// (or a picture whose pixel count does not match its size) stops the fuzzer.
void DecodeTolerant(const uint8_t* data, std::size_t size, kv::TPictureKind kind);

} // namespace kvfuzz
