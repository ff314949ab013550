// The formats of the game's sounds, from the package's sound-format table down to the platform's player.
#pragma once

#include <cstdint>

namespace kv {

// The values are the bytes of the package's sound-format table: they are stored and must not change.
enum TKVSoundFormat : uint8_t { kvsfUnknown, kvsfWAV, kvsfMIDI, kvsfWMA, kvsfMP3 };

// A stored byte as a format; a byte no format has is kvsfUnknown.
constexpr TKVSoundFormat ValidSoundFormat(uint8_t stored) {
  return stored <= kvsfMP3 ? static_cast<TKVSoundFormat>(stored) : kvsfUnknown;
}

// "WAV", "MIDI", "WMA", "MP3", or "unknown".
const char* SoundFormatName(TKVSoundFormat format);

} // namespace kv
