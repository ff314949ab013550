// The resamplers a surface uses as the source of stretched and transformed draws.
#pragma once

#include "gui/uBitmap32.h"

#include <memory>
#include <string>
#include <vector>

namespace kv {

// The pixel whose cell contains the position.
class TNearestResampler : public TCustomResampler {
public:
  std::string ClassName() const override { return "TNearestResampler"; }
  std::unique_ptr<TCustomResampler> Clone() const override { return std::make_unique<TNearestResampler>(); }
  TColor32 GetSample(const TBitmap32& source, const TRect& area, float x, float y) const override;
  void SampleRow(const TBitmap32& source, const TRect& area, double x0, double dx, float y, int count,
                 TColor32* out) const override;
};

// The four nearest pixel centres weighted by distance, all four channels interpolated.
class TLinearResampler : public TCustomResampler {
public:
  std::string ClassName() const override { return "TLinearResampler"; }
  std::unique_ptr<TCustomResampler> Clone() const override { return std::make_unique<TLinearResampler>(); }
  TColor32 GetSample(const TBitmap32& source, const TRect& area, float x, float y) const override;
  void SampleRow(const TBitmap32& source, const TRect& area, double x0, double dx, float y, int count,
                 TColor32* out) const override;

private:
  // Column positions and weights of the last row geometry; a stretch samples every row with the same one.
  struct TColumn {
    int X0, X1; // neighbours, or X0 < 0 for a position outside the area
    uint32_t W; // weight of X1, 0..256
  };
  mutable std::vector<TColumn> FColumns;
  mutable double FColumnsX0 = 0, FColumnsDx = 0;
  mutable TRect FColumnsArea;
  mutable int FMinX = 0, FMaxX = -1;      // columns the taps reach
  mutable std::vector<TColor32> FRow;     // the two source rows mixed
  mutable std::vector<uint16_t> FWeights; // per column: its weight four times (one per channel)
  mutable bool FAllInside = false;        // every column has taps
};

// A filter kernel of a TKernelResampler: weight of a pixel centre at distance x, zero beyond Width.
class TCustomKernel {
public:
  virtual ~TCustomKernel() = default;
  virtual std::string ClassName() const = 0;
  virtual std::unique_ptr<TCustomKernel> Clone() const = 0;
  virtual double Filter(double x) const = 0;
  virtual double Width() const = 0;
};

// Windowed sinc: sinc(x) * sinc(x / radius) for |x| < radius (radius 3).
class TLanczosKernel : public TCustomKernel {
public:
  explicit TLanczosKernel(double radius = 3.0) : FRadius(radius) {}
  std::string ClassName() const override { return "TLanczosKernel"; }
  std::unique_ptr<TCustomKernel> Clone() const override { return std::make_unique<TLanczosKernel>(FRadius); }
  double Filter(double x) const override;
  double Width() const override { return FRadius; }

private:
  double FRadius;
};

// Separable kernel filter over the neighbouring pixels (edge pixels repeated); Lanczos by default.
class TKernelResampler : public TCustomResampler {
public:
  explicit TKernelResampler(std::unique_ptr<TCustomKernel> kernel = nullptr);
  std::string ClassName() const override { return "TKernelResampler"; }
  std::unique_ptr<TCustomResampler> Clone() const override;
  TColor32 GetSample(const TBitmap32& source, const TRect& area, float x, float y) const override;

  const TCustomKernel& Kernel() const { return *FKernel; }
  // nullptr restores the Lanczos kernel.
  void SetKernel(std::unique_ptr<TCustomKernel> kernel);

private:
  std::unique_ptr<TCustomKernel> FKernel;
};

} // namespace kv
