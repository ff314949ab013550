// Whether a file's bytes are really a sound of the format its name claims: checked from the headers and the
// sizes they give, so that a renamed text file, random bytes or a file cut short are not packed as sounds
// the player cannot play.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kvtools {

// Each returns an empty text for a sound of its format, else the reason in a few words ("no \"data\" chunk").

// RIFF WAVE: the RIFF size within the file (a few bytes of slack), a "fmt " chunk of PCM, IEEE float, A-law,
// mu-law or ADPCM data with sane channels, rate and sample size, and a "data" chunk that is not empty.
std::string WavProblem(std::span<const uint8_t> bytes);

// Standard MIDI file: an "MThd" header of format 0..2 with at least one track, and "MTrk" chunks within the
// file.
std::string MidiProblem(std::span<const uint8_t> bytes);

// MPEG audio, after any ID3v2 tags: two frames in a row (each header where the frame before it ends), or a
// single frame that fills the rest of the file.
std::string Mp3Problem(std::span<const uint8_t> bytes);

// ASF (Windows Media Audio): the header object within the file, holding a file or stream properties object,
// and a data object after it.
std::string WmaProblem(std::span<const uint8_t> bytes);

} // namespace kvtools
