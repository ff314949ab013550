#include "FuzzSupport.h"

#include "core/uKVErrors.h"
#include "data/uKVStreamFunc.h"
#include "data/uScriptAction.h"
#include "gui/uPictureConverters.h"

#include <algorithm>
#include <cstdlib>

namespace kvfuzz {

using namespace kv;
using SF = TKVStreamFunc;

namespace {

TMemoryStream Package(const TMemoryStream& section) {
  TMemoryStream packed;
  SF::CompressStream(section, packed);
  TMemoryStream package;
  package.WriteBytes(packed.Bytes());
  package.SetPosition(0);
  return package;
}

TMemoryStream Section() {
  TMemoryStream section;
  const uint8_t signature[4] = {0x03, 0x50, 0x5A, 0x5A};
  section.WriteBuffer(signature, 4);
  return section;
}

void EndRecord(TMemoryStream& section) {
  SF::WriteWord(static_cast<int16_t>(7850), section);
  SF::WriteInteger(0, section);
}

} // namespace

TMemoryStream PackageWithRecords(const uint8_t* data, std::size_t size) {
  TMemoryStream section = Section();
  section.WriteBuffer(data, size);
  EndRecord(section);
  return Package(section);
}

TMemoryStream PackageWithRecord(uint16_t tag, const uint8_t* data, std::size_t size) {
  TMemoryStream section = Section();
  SF::WriteWord(static_cast<int16_t>(tag), section);
  SF::WriteInteger(static_cast<int32_t>(size), section);
  section.WriteBuffer(data, size);
  EndRecord(section);
  return Package(section);
}

void LoadTolerant(TMemoryStream& package) {
  try {
    // Banners are measured with the codecs, as the player measures them.
    TJigsawProject2 project(PictureConverterServices());
    project.LoadFromStream(&package);
  } catch (const Exception&) {
    // Every error the readers raise derives from kv::Exception: read errors, format errors, bad pictures.
  }
}

void DecodeTolerant(const uint8_t* data, std::size_t size, TPictureKind kind) {
  try {
    const TLoadedPicture loaded = DecodePicture(std::span<const uint8_t>(data, size), kind);
    const TDecodedPicture& picture = loaded.Picture;
    const auto pixels = static_cast<uint64_t>(std::max(picture.Width, 0)) * std::max(picture.Height, 0);
    if (picture.Width < 0 || picture.Height < 0 || picture.Pixels.size() != pixels ||
        pixels > MaxPicturePixels)
      std::abort();
  } catch (const Exception&) {
    // EImageError for data a decoder cannot read; stream errors underneath derive from Exception too.
  }
}

} // namespace kvfuzz
