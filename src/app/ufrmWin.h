// The end-of-game dialog, for a win and for a loss: caption, heading, time label and clock text are set by
// the caller; "Print" (hidden for a loss) closes with OK and raises the print flag. Beside it, the printing
// of the picture, fitted to the page.
#pragma once

#include "app/uModalDialog.h"
#include "core/uKVTypes.h"

#include <cstdint>
#include <string>

class QLabel;
class QPrinter;
class QPushButton;

namespace kv {

class TBitmap32;

class TfrmWin : public TModalDialog {
public:
  explicit TfrmWin(QWidget* parent = nullptr);

  // Texts are package texts (Windows-1252).
  void SetCaption(const std::string& caption);
  // The heading stays centred across the dialog.
  void SetHeading(const std::string& heading);
  void SetHeadingSize(int points);
  void SetTimeLabel(const std::string& text);
  void SetClockText(const std::string& text);
  void SetPrintVisible(bool visible);

  // True when the dialog was closed with "Print".
  bool PrintFlag() const { return FPrintFlag; }

private:
  void CentreHeading();

  QLabel* lblHeading;
  QLabel* lblTime;
  QLabel* pnlClock;
  QPushButton* btnPrint;
  bool FPrintFlag = false;
};

// The picture's rectangle on a page of pageWidth x pageHeight: proportions kept, the side that limits fills
// the page, the other is Round (ties to even) of the exact value, centred by (free space) div 2.
// Empty when the page or the picture has no area.
TRect FitPictureToPage(int32_t pageWidth, int32_t pageHeight, int32_t pictureWidth, int32_t pictureHeight);

// One page with the picture fitted to the printer's printable area, drawn bilinear. Raises std::runtime_error
// when the printer cannot be opened or the picture is empty.
void PrintPicture(const TBitmap32& picture, QPrinter& printer);

// The Print button's job: with a printer on the system, the print dialog chooses it; without one, a PDF file
// is written to pdfFile, or to "Korvane Jigsaw.pdf" in the documents folder when pdfFile is empty. Errors are
// shown in a plain message box over parent. True when a page was produced.
bool PrintPictureJob(const TBitmap32& picture, QWidget* parent, const std::string& pdfFile = {});

} // namespace kv
