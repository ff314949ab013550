#include "uKVPieceLibraryGenerator.h"

#include <algorithm>
#include <cmath>

#include "core/uKVErrors.h"
#include "data/uKVStreamFunc.h"
#include "jigsaw/uKVMaskCodes.h"

namespace kv {

uint64_t TKVGenRandom::Next() {
  uint64_t z = (State += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double TKVGenRandom::Uniform() {
  return static_cast<double>(Next() >> 11) * 0x1.0p-53;
}

std::vector<TKVLayout> TKVPieceLibraryGenerator::DefaultLayouts() {
  return {{34, 34}, {198, 198}, {140, 140}, {118, 118}, {100, 100},
          {78, 78}, {65, 65},   {56, 56},   {43, 43},   {49, 49}};
}

namespace {

constexpr double kPi = 3.14159265358979323846;

double Clamp01(double x) {
  return std::clamp(x, 0.0, 1.0);
}

double SmoothStep(double edge0, double edge1, double x) {
  const double t = Clamp01((x - edge0) / (edge1 - edge0));
  return t * t * (3 - 2 * t);
}

// Polynomial smooth minimum: joins the head of a tab to its neck and the neck to the edge line with concave
// fillets.
double SmoothMin(double a, double b, double k) {
  const double h = Clamp01(0.5 + 0.5 * (b - a) / k);
  return b + (a - b) * h - k * h * (1 - h);
}

// One edge in its own frame: u runs along the edge (0..Length), q across it, positive into the piece that
// receives the tab. Negative values of Field lie inside the piece that owns the tab.
struct TEdgeShape {
  double Length = 0;
  double Centre = 0;           // where the neck stands on the edge
  double HeadX = 0, HeadQ = 0; // head centre
  double RadiusU = 0, RadiusQ = 0;
  double NeckRadius = 0; // half the neck's width
  double FilletLeft = 0, FilletRight = 0;
  double WaveAmp = 0, WaveFreq1 = 0, WavePhase1 = 0, WaveFreq2 = 0, WavePhase2 = 0;
  double EndZone = 0; // straight run at either end, where the wave fades in
  int Direction = 1;  // +1: the tab belongs to the upper (left) piece

  double Wave(double u) const {
    const double ramp = 0.18 * Length;
    const double window =
        SmoothStep(EndZone, EndZone + ramp, u) * SmoothStep(EndZone, EndZone + ramp, Length - u);
    const double t = u / Length;
    return WaveAmp * window *
           (0.7 * std::sin(2 * kPi * WaveFreq1 * t + WavePhase1) +
            0.3 * std::sin(2 * kPi * WaveFreq2 * t + WavePhase2));
  }

  double TabField(double u, double q) const {
    // The head: an ellipse, its field divided by the gradient so that it measures pixels near the outline.
    const double du = (u - HeadX) / RadiusU, dq = (q - HeadQ) / RadiusQ;
    const double r = std::sqrt(du * du + dq * dq);
    const double slope = std::hypot(du / RadiusU, dq / RadiusQ);
    const double head = slope > 0 ? (r - 1) * r / slope : -std::min(RadiusU, RadiusQ);
    // The neck: a round-ended bar from below the edge line up to the head's centre.
    const double ax = Centre, ay = -NeckRadius, bx = HeadX, by = HeadQ;
    const double t = Clamp01(((u - ax) * (bx - ax) + (q - ay) * (by - ay)) /
                             ((bx - ax) * (bx - ax) + (by - ay) * (by - ay)));
    const double neck = std::hypot(u - (ax + t * (bx - ax)), q - (ay + t * (by - ay))) - NeckRadius;
    const double tab = SmoothMin(head, neck, 0.2 * NeckRadius); // the head stands out over its neck
    const double k =
        FilletLeft + (FilletRight - FilletLeft) * SmoothStep(Centre - RadiusU, Centre + RadiusU, u);
    return SmoothMin(q, tab, k);
  }

  // v: across the edge, positive towards the lower (right) piece.
  double Field(double u, double v) const { return TabField(u, Direction * (v - Wave(u))); }

  double Depth() const { return HeadQ + RadiusQ; }
};

// Tabs of the two opposite edges of a cell must stay well apart.
double MaxDepth(double size) {
  return 0.31 * size;
}

// How far the outline, the bevel and the fringe reach from the cut line: beyond it a pixel is kept as it is.
double Ring(int bevelLines) {
  return bevelLines + 1.5;
}

// Every point where the edge differs from a straight one, with the ring around the difference, must lie in
// the edge's own quarter of the cell: the triangle between the edge and the cell's centre, nearer this edge
// than either crossing edge. Tabs of crossing edges then never meet, and near the corners both templates
// draw the same straight lines.
bool StaysInItsQuarter(const TEdgeShape& shape, double ring) {
  constexpr double gap = 0.5, step = 0.5;
  const double reach = shape.Depth() + shape.WaveAmp + ring + 1;
  for (double u = step / 2; u < shape.Length; u += step) {
    const double bound = std::min(u, shape.Length - u) - gap; // |v| allowed
    for (double v = reach; v > bound; v -= step)
      for (const double sv : {v, -v}) {
        const double f = shape.Field(u, sv), straight = shape.Direction * sv;
        if (std::abs(f - straight) < 0.01) continue;
        if ((f < 0) != (straight < 0) || std::abs(f) < ring || std::abs(straight) < ring) return false;
      }
  }
  return true;
}

TEdgeShape MakeShape(double length, double size, int bevelLines, int direction, TKVGenRandom& random) {
  TEdgeShape shape;
  shape.Length = length;
  shape.Direction = direction;
  const double ring = Ring(bevelLines);
  double scale = 1.0;
  for (int attempt = 0;; ++attempt) {
    // Classic die-cut proportions: a head of 0.28 to 0.33 of the edge across, a neck about 0.6 as wide, the
    // whole standing out about 0.28 of the edge.
    shape.RadiusU = random.Range(0.14, 0.165) * size * scale;
    const double depth = random.Range(0.265, 0.295) * size * scale;
    const double neckLength = random.Range(0.005, 0.035) * size * scale;
    shape.RadiusQ = (depth - neckLength) / 2;
    shape.HeadQ = depth - shape.RadiusQ;
    shape.NeckRadius = shape.RadiusU * random.Range(0.55, 0.66);
    const double fillet = random.Range(0.035, 0.05) * size * scale;
    shape.FilletLeft = fillet * random.Range(0.8, 1.2);
    shape.FilletRight = fillet * random.Range(0.8, 1.2);
    shape.Centre = length * (0.5 + random.Range(-0.03, 0.03));
    // The head leans a little to one side of its neck.
    shape.HeadX = shape.Centre + random.Range(-0.12, 0.12) * shape.RadiusU;
    shape.WaveAmp = std::max(0.35, random.Range(0.004, 0.011) * size);
    shape.WaveFreq1 = random.Range(0.7, 1.4);
    shape.WavePhase1 = random.Range(0, 2 * kPi);
    shape.WaveFreq2 = random.Range(1.8, 3.0);
    shape.WavePhase2 = random.Range(0, 2 * kPi);
    shape.EndZone = ring + 2;
    if (shape.Depth() + shape.WaveAmp <= MaxDepth(size) && StaysInItsQuarter(shape, ring)) return shape;
    if (attempt % 8 == 7) scale *= 0.97;
  }
}

struct TBevel {
  int Lines = 2;
  std::array<double, 4> Alpha{};
};

// The same depth and strength as the straight border bevel of the piece.
TBevel BevelFor(int cellWidth) {
  TBevel bevel;
  int base = 30;
  if (cellWidth > 100) {
    bevel.Lines = 4;
    base = 0;
  } else if (cellWidth >= 50) {
    bevel.Lines = 3;
    base = 50;
  }
  for (int k = 1; k <= bevel.Lines; ++k) bevel.Alpha[k - 1] = 28 * bevel.Lines + base - 28 * (k - 1);
  return bevel;
}

double BevelAlpha(const TBevel& bevel, double t) {
  if (t <= 0) return 0;
  if (t < 1) return bevel.Alpha[0] * t;
  if (t >= bevel.Lines + 1) return 0;
  const int i = static_cast<int>(t);
  const double a0 = bevel.Alpha[i - 1];
  const double a1 = i < bevel.Lines ? bevel.Alpha[i] : 0.0;
  return a0 + (a1 - a0) * (t - i);
}

// d: distance into the piece (negative outside); (nx, ny): the piece's outward normal in picture coordinates.
TKVMaskPixel Classify(bool inside, double d, double nx, double ny, const TBevel& bevel) {
  TKVMaskPixel pixel;
  if (!inside) {
    const double out = std::max(0.0, -d);
    if (out < 1.2) {
      pixel.Op = TKVMaskOp::moFringe;
      pixel.Value = static_cast<uint8_t>(std::lround(64 * Clamp01(1 - out / 1.3)));
    }
    return pixel;
  }
  d = std::max(0.0, d);
  if (d < 0.7) {
    pixel.Op = TKVMaskOp::moContour;
    return pixel;
  }
  // Light comes from the upper left: edges facing it are lightened, the others darkened.
  const double facing = std::clamp(-(nx + ny) * 0.70710678 * 1.41421356, -1.0, 1.0);
  const double dark = d < 1.15 ? 120 * (1.15 - d) / 0.45 : 0;
  const double value = BevelAlpha(bevel, d - 0.5) * facing - dark;
  if (value >= 6) {
    pixel.Op = TKVMaskOp::moHighlight;
    pixel.Value = static_cast<uint8_t>(std::min(255L, std::lround(value)));
  } else if (value <= -6) {
    pixel.Op = TKVMaskOp::moShadow;
    pixel.Value = static_cast<uint8_t>(std::min(255L, std::lround(-value)));
  } else {
    pixel.Op = TKVMaskOp::moKeep;
  }
  return pixel;
}

void EmitRun(std::vector<uint8_t>& out, TKVMaskOp op, const TKVMaskPixel* data, int n) {
  switch (op) {
  case TKVMaskOp::moKeep:
    out.push_back(static_cast<uint8_t>(n));
    out.push_back(MaskCode::Keep);
    break;
  case TKVMaskOp::moContour:
    out.push_back(static_cast<uint8_t>(n));
    out.push_back(MaskCode::Contour);
    break;
  case TKVMaskOp::moFringe:
    out.push_back(static_cast<uint8_t>(n));
    out.push_back(MaskCode::Fringe);
    for (int i = 0; i < n; ++i) out.push_back(data[i].Value);
    break;
  case TKVMaskOp::moHighlight:
    out.push_back(static_cast<uint8_t>(MaskCode::HighlightBase + n));
    for (int i = 0; i < n; ++i) out.push_back(data[i].Value);
    break;
  case TKVMaskOp::moShadow:
    out.push_back(static_cast<uint8_t>(MaskCode::ShadowBase + n));
    for (int i = 0; i < n; ++i) out.push_back(data[i].Value);
    break;
  case TKVMaskOp::moClear:
    break;
  }
}

} // namespace

std::vector<uint8_t> TKVPieceLibraryGenerator::EncodeMask(const std::vector<TKVMaskPixel>& pixels,
                                                          uint16_t width, uint16_t height) {
  std::vector<uint8_t> out;
  for (int y = 0; y < height; ++y) {
    const TKVMaskPixel* row = pixels.data() + static_cast<std::size_t>(y) * width;
    int x = 0;
    while (x < width) {
      const TKVMaskOp op = row[x].Op;
      int end = x + 1;
      while (end < width && row[end].Op == op) ++end;
      if (op != TKVMaskOp::moClear) {
        for (int start = x; start < end;) {
          const int n = std::min<int>(MaskCode::MaxModeRun, end - start);
          EmitRun(out, op, row + start, n);
          start += n;
        }
        x = end;
        continue;
      }
      // Clear run [x, end): each instruction clears one pixel more than it advances.
      int k = end - x;
      bool chained = false;
      while (k > MaskCode::MaxClearRun) {
        out.push_back(MaskCode::ClearBase + MaskCode::MaxClearRun);
        x += MaskCode::MaxClearRun;
        k -= MaskCode::MaxClearRun;
        chained = true;
      }
      if (end < width && row[end].Op == TKVMaskOp::moFringe) {
        out.push_back(static_cast<uint8_t>(MaskCode::ClearBase +
                                           k)); // the extra pixel is the fringe's, which sets it anyway
      } else if (k >= 2) {
        out.push_back(static_cast<uint8_t>(MaskCode::ClearBase + k - 1));
        out.push_back(1); // step over the last cleared pixel
        out.push_back(MaskCode::Keep);
      } else if (chained) {
        out.push_back(1); // already cleared by the previous instruction
        out.push_back(MaskCode::Keep);
      } else {
        // A lone clear pixel before a pixel of the piece: the faintest fringe instead.
        out.push_back(1);
        out.push_back(MaskCode::Fringe);
        out.push_back(0); // alpha 0
      }
      x = end;
    }
  }
  return out;
}

std::array<std::vector<TKVMaskPixel>, 2>
TKVPieceLibraryGenerator::DrawTemplatePixels(const TKVLayout& layout, bool vertical, bool tabToFirst,
                                             TKVGenRandom& random, uint16_t& width, uint16_t& height) {
  const double size = std::min(layout.CellWidth, layout.CellHeight);
  const int length = vertical ? layout.CellHeight : layout.CellWidth;
  const TBevel bevel = BevelFor(layout.CellWidth);
  const TEdgeShape shape = MakeShape(length, size, bevel.Lines, tabToFirst ? 1 : -1, random);
  // Room for the tab and the whole ring around its head, up to the middle of the outermost row.
  const int half = static_cast<int>(std::ceil(shape.Depth() + shape.WaveAmp + Ring(bevel.Lines) + 0.5));
  width = static_cast<uint16_t>(vertical ? 2 * half : length);
  height = static_cast<uint16_t>(vertical ? length : 2 * half);

  // Field in template pixel coordinates; negative inside the piece that owns the tab.
  auto field = [&](double px, double py) {
    return vertical ? shape.Field(py, px - half) : shape.Field(px, py - half);
  };
  std::array<std::vector<TKVMaskPixel>, 2> masks;
  masks[0].resize(static_cast<std::size_t>(width) * height);
  masks[1].resize(masks[0].size());
  // Mask 0 belongs to the lower piece of a horizontal edge and to the left piece of a vertical one.
  const int firstMask = vertical ? 0 : 1; // the upper (left) piece
  const int secondMask = 1 - firstMask;
  const bool firstOwnsTab = shape.Direction > 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double cx = x + 0.5, cy = y + 0.5;
      const double f = field(cx, cy);
      constexpr double h = 0.25;
      double gx = field(cx + h, cy) - field(cx - h, cy);
      double gy = field(cx, cy + h) - field(cx, cy - h);
      const double g = std::hypot(gx, gy);
      if (g > 0) {
        gx /= g;
        gy /= g;
      }
      const bool inOwner = f < 0;
      const bool inFirst = firstOwnsTab ? inOwner : !inOwner;
      const double dOwner = -f;
      const double dFirst = firstOwnsTab ? dOwner : -dOwner;
      // Outward normal of the owner is the field's gradient.
      const double sFirst = firstOwnsTab ? 1.0 : -1.0;
      const std::size_t i = static_cast<std::size_t>(y) * width + x;
      masks[firstMask][i] = Classify(inFirst, dFirst, sFirst * gx, sFirst * gy, bevel);
      masks[secondMask][i] = Classify(!inFirst, -dFirst, -sFirst * gx, -sFirst * gy, bevel);
    }
  // A lone clear pixel cannot be cleared without its right neighbour (unless that is a fringe pixel, which
  // is set anyway); it becomes the faintest fringe, as the encoder would draw it.
  for (auto& mask : masks)
    for (int y = 0; y < height; ++y) {
      TKVMaskPixel* row = mask.data() + static_cast<std::size_t>(y) * width;
      for (int x = 0; x < width; ++x) {
        const bool lone =
            row[x].Op == TKVMaskOp::moClear && (x == 0 || row[x - 1].Op != TKVMaskOp::moClear) &&
            (x + 1 == width || (row[x + 1].Op != TKVMaskOp::moClear && row[x + 1].Op != TKVMaskOp::moFringe));
        if (lone) row[x] = TKVMaskPixel{TKVMaskOp::moFringe, 0};
      }
    }
  return masks;
}

TKVJigsawPieceLibrary TKVPieceLibraryGenerator::Generate(uint64_t seed) {
  TKVJigsawPieceLibrary library;
  library.Layouts = DefaultLayouts();
  TKVGenRandom random(seed);
  for (std::size_t li = 0; li < library.Layouts.size(); ++li)
    for (int n = 0; n < 2 * TemplatesPerOrientation; ++n) {
      TKVPieceTemplate entry;
      entry.Vertical = n % 2 == 1;
      entry.LayoutIndex = static_cast<uint8_t>(li);
      // Tabs alternate between the two sides, so that any first templates of a layout (those a package
      // keeps) send as many knobs one way as the other.
      const bool tabToFirst = n / 2 % 2 == 0;
      const auto pixels = DrawTemplatePixels(library.Layouts[li], entry.Vertical, tabToFirst, random,
                                             entry.Width, entry.Height);
      for (int m = 0; m < 2; ++m) entry.Masks[m] = EncodeMask(pixels[m], entry.Width, entry.Height);
      library.Templates.push_back(std::move(entry));
    }
  return library;
}

} // namespace kv
