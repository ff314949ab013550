// Run-length coder of 32-bit pixel words, used to keep piece images small between draws.
//
// Coded layout (little-endian words): a zero run is a count n >= 1 followed by the word 0 (n pixels of 0);
// a literal run is a count n >= 1 followed by its n words, the first of which is never 0. A source whose
// length is not a multiple of 4 carries its last 1 to 3 bytes unchanged after the records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kv {

class TRLE {
public:
  // Source of Compress: the bytes to code.
  void SetSource(const void* data, std::size_t length);
  void Compress();

  // Source of Decompress: coded bytes and the length they decode to.
  void SetCoded(const void* data, std::size_t uncodedLength, std::size_t codedLength);
  void Decompress();

  // Result of the last Compress (coded bytes) or Decompress (decoded bytes).
  const std::vector<uint8_t>& Data() const { return Output; }
  std::vector<uint8_t> TakeData() { return std::move(Output); }
  std::size_t UncodedLength() const { return Uncoded; }
  std::size_t CodedLength() const { return Coded; }

  static std::vector<uint8_t> Compress(std::span<const uint8_t> source);
  // The same into out, which must hold MaxCodedLength(source.size()) bytes; returns the bytes written.
  static std::size_t CompressTo(std::span<const uint8_t> source, uint8_t* out);

  // The runs of a run of pixel words: alternating zero and literal counts, the first of the kind of the
  // first word, and the length of the coded form, which is the same read forwards or backwards.
  struct TRuns {
    bool FirstZero = false;
    std::vector<uint32_t> Counts;
    std::size_t CodedLength = 0;
  };
  static void FindRuns(std::span<const uint32_t> words, TRuns& runs);
  // Codes the words, as they are or read from the last to the first (an image turned by 180 degrees, or
  // by 90 one way from 90 the other way), from their runs; out must hold runs.CodedLength bytes.
  static void WriteRuns(std::span<const uint32_t> words, const TRuns& runs, bool reversed, uint8_t* out);
  // No run costs more than 8 bytes per pixel.
  static constexpr std::size_t MaxCodedLength(std::size_t length) { return length / 4 * 8 + length % 4; }
  // Decodes into a buffer of uncodedLength bytes. Records that claim more than the coded bytes hold, or more
  // than the buffer takes, are cut short; what they do not cover stays 0.
  static std::vector<uint8_t> Decompress(std::span<const uint8_t> coded, std::size_t uncodedLength);
  // Expands the records of a coded image into pixel words, as the board does for every draw. Never reads
  // past coded nor writes past destination; returns the number of words written.
  static std::size_t Decode(std::span<const uint8_t> coded, std::span<uint32_t> destination);

private:
  const uint8_t* Source = nullptr;
  std::size_t Uncoded = 0;
  std::size_t Coded = 0;
  std::vector<uint8_t> Output;
};

} // namespace kv
