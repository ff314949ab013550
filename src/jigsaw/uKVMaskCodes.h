// The instruction bytes of a piece template's edge mask, shared by the code that draws masks and the tool
// that encodes them. A mask is read row by row; each instruction covers a run of pixels of one kind, told by
// the range its first byte falls in.
#pragma once

#include <cstdint>

namespace kv::MaskCode {

// 1..64: a run of n pixels whose kind the next byte names, one of the modes below. Any other next byte is no
// mode: it is read as the next instruction itself.
inline constexpr uint8_t MaxModeRun = 64;
// The run keeps the picture's pixels.
inline constexpr uint8_t Keep = 0;
// The run is the bevel's contour, or the outline colour when outlines are on.
inline constexpr uint8_t Contour = 208;
// The run is the piece's soft fringe: one alpha byte a pixel follows.
inline constexpr uint8_t Fringe = 209;

// HighlightBase + n (n = 1..64): n highlight pixels, one alpha byte each.
inline constexpr uint8_t HighlightBase = 64;
// ShadowBase + n (n = 1..64): n shadow pixels, one alpha byte each.
inline constexpr uint8_t ShadowBase = 128;
// ClearBase + n (n = 1..63): n + 1 pixels cleared, while the row moves on by n.
inline constexpr uint8_t ClearBase = 192;
inline constexpr uint8_t MaxClearRun = 63;

} // namespace kv::MaskCode
