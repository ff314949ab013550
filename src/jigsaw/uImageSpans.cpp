#include "jigsaw/uImageSpans.h"

#include <algorithm>
#include <cstring>

namespace kv {

namespace {

uint32_t AlphaAt(const uint8_t* data, std::size_t offset) {
  return data[offset + 3];
}

} // namespace

TImageSpans ReadSpans(const TCodedImage& coded, int32_t w, int32_t h) {
  TImageSpans result;
  if (w <= 0 || h <= 0) return result;
  result.RowStart.assign(static_cast<std::size_t>(h) + 1, 0);
  const uint8_t* data = coded.data();
  const std::size_t size = coded.size();
  std::size_t in = 0;
  int32_t row = 0, col = 0;
  // Spans are added row by row; RowStart[y + 1] is set whenever row y is left.
  auto closeRowsUpTo = [&](int32_t y) {
    for (int32_t r = row; r < y && r < h; ++r)
      result.RowStart[static_cast<std::size_t>(r) + 1] = static_cast<uint32_t>(result.Spans.size());
  };
  while (row < h && size - in >= 8) {
    uint32_t count = 0, first = 0;
    std::memcpy(&count, data + in, 4);
    std::memcpy(&first, data + in + 4, 4);
    in += 4;
    if (first == 0) {
      in += 4;
      const int64_t next = int64_t{col} + count;
      const auto to = static_cast<int32_t>(std::min<int64_t>(row + next / w, h));
      closeRowsUpTo(to);
      row = to;
      col = static_cast<int32_t>(next % w);
      continue;
    }
    const std::size_t available = (size - in) / 4;
    const std::size_t n = std::min<std::size_t>(count, available);
    for (std::size_t done = 0; done < n && row < h;) {
      const auto length =
          static_cast<int32_t>(std::min<std::size_t>(n - done, static_cast<std::size_t>(w - col)));
      // The part in this row, cut into long opaque stretches, long clear gaps and the mixed rest.
      auto alphaAt = [&](int32_t i) { return AlphaAt(data, in + (done + static_cast<std::size_t>(i)) * 4); };
      int32_t mixedStart = -1;
      auto closeMixed = [&](int32_t end) {
        if (mixedStart >= 0 && end > mixedStart)
          result.Spans.push_back(TImageSpan{col + mixedStart, end - mixedStart,
                                            static_cast<uint32_t>(in + (done + mixedStart) * 4), false});
        mixedStart = -1;
      };
      for (int32_t i = 0; i < length;) {
        const uint32_t a = alphaAt(i);
        int32_t j = i + 1;
        if (a == 255 || a == 0)
          while (j < length && alphaAt(j) == a) ++j;
        if (a == 255 && j - i >= OpaqueSpanMinimum) {
          closeMixed(i);
          result.Spans.push_back(TImageSpan{
              col + i, j - i, static_cast<uint32_t>(in + (done + static_cast<std::size_t>(i)) * 4), true});
        } else if (a == 0 && j - i >= ClearGapMinimum) {
          closeMixed(i);
        } else if (mixedStart < 0) {
          mixedStart = i;
        }
        i = j;
      }
      // A mixed span never ends in clear pixels.
      int32_t end = length;
      while (mixedStart >= 0 && end > mixedStart && alphaAt(end - 1) == 0) --end;
      closeMixed(end);
      done += static_cast<std::size_t>(length);
      col += length;
      if (col == w) {
        col = 0;
        closeRowsUpTo(row + 1);
        ++row;
      }
    }
    in += n * 4;
    if (n < count) break;
  }
  closeRowsUpTo(h);
  return result;
}

} // namespace kv
