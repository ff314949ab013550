#include "app/ufrmWin.h"

#include "data/uKVStandardFunc.h"
#include "gui/uBitmap32.h"
#include "jigsaw/uRoundHalfEven.h"
#include "platform/uQtPlatform.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>

#include <stdexcept>

namespace kv {

namespace {

constexpr int HeadingTop = 4;
constexpr const char* JobTitle = "Korvane Jigsaw";

} // namespace

TfrmWin::TfrmWin(QWidget* parent) : TModalDialog(parent) {
  setWindowTitle("You Win!");
  setFixedSize(384, 148);
  setFont(DialogFont());
  SetPanelColour(*this, QColor(0xE8, 0xE8, 0xE8));

  lblHeading = new QLabel("You Win", this);
  lblHeading->setObjectName("lblHeading");
  lblHeading->setFont(PixelFont("Times New Roman", 48, true));
  CentreHeading();

  lblTime = new QLabel("Time To Complete Puzzle :", this);
  lblTime->setObjectName("lblTime");
  lblTime->setGeometry(8, 72, 206, 21);
  lblTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  pnlClock = new QLabel(this);
  pnlClock->setObjectName("pnlClock");
  pnlClock->setGeometry(222, 72, 100, 21);
  pnlClock->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  pnlClock->setAlignment(Qt::AlignCenter);
  SetPanelColour(*pnlClock, Qt::white);

  btnPrint = new QPushButton("Print", this);
  btnPrint->setObjectName("btnPrint");
  btnPrint->setGeometry(104, 110, 75, 25);
  connect(btnPrint, &QPushButton::clicked, this, [this] {
    FPrintFlag = true;
    accept();
  });
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("btnOK");
  ok->setGeometry(205, 110, 75, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &TfrmWin::accept);
}

void TfrmWin::SetCaption(const std::string& caption) {
  setWindowTitle(QtText(caption));
}

void TfrmWin::SetHeading(const std::string& heading) {
  lblHeading->setText(QtText(heading));
  CentreHeading();
}

void TfrmWin::SetHeadingSize(int points) {
  QFont font = lblHeading->font();
  font.setPointSize(points);
  lblHeading->setFont(font);
  CentreHeading();
}

void TfrmWin::SetTimeLabel(const std::string& text) {
  lblTime->setText(QtText(text));
}

void TfrmWin::SetClockText(const std::string& text) {
  pnlClock->setText(QtText(text));
}

void TfrmWin::SetPrintVisible(bool visible) {
  btnPrint->setVisible(visible);
}

void TfrmWin::CentreHeading() {
  lblHeading->adjustSize();
  lblHeading->move((width() - lblHeading->width()) / 2, HeadingTop);
}

TRect FitPictureToPage(int32_t pageWidth, int32_t pageHeight, int32_t pictureWidth, int32_t pictureHeight) {
  if (pageWidth <= 0 || pageHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return {};
  // pageWidth / pageHeight >= pictureWidth / pictureHeight, without a division.
  if (int64_t{pageWidth} * pictureHeight >= int64_t{pictureWidth} * pageHeight) {
    const int32_t width = static_cast<int32_t>(RoundDiv(int64_t{pictureWidth} * pageHeight, pictureHeight));
    const int32_t left = (pageWidth - width) / 2;
    return {left, 0, left + width, pageHeight};
  }
  const int32_t height = static_cast<int32_t>(RoundDiv(int64_t{pictureHeight} * pageWidth, pictureWidth));
  const int32_t top = (pageHeight - height) / 2;
  return {0, top, pageWidth, top + height};
}

void PrintPicture(const TBitmap32& picture, QPrinter& printer) {
  if (picture.Width() <= 0 || picture.Height() <= 0)
    throw std::runtime_error("There is no picture to print.");
  printer.setDocName(JobTitle);
  QPainter painter;
  if (!painter.begin(&printer)) throw std::runtime_error("The printer could not be opened.");
  // The painter's origin is the corner of the printable area, and the page is that area.
  const TRect target = FitPictureToPage(printer.width(), printer.height(), picture.Width(), picture.Height());
  const QImage image(reinterpret_cast<const uchar*>(picture.Bits()), picture.Width(), picture.Height(),
                     picture.Width() * 4, QImage::Format_RGB32);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRect(target.Left, target.Top, target.Width(), target.Height()), image);
  if (!painter.end()) throw std::runtime_error("The page could not be printed.");
}

bool PrintPictureJob(const TBitmap32& picture, QWidget* parent, const std::string& pdfFile) {
  try {
    QPrinter printer(QPrinter::HighResolution);
    if (!QPrinterInfo::availablePrinters().isEmpty()) {
      QPrintDialog dialog(&printer, parent);
      if (dialog.exec() != QDialog::Accepted) return false;
    } else {
      const std::string file =
          pdfFile.empty() ? TKVStandardFunc::DocumentsFolder() + "/" + JobTitle + ".pdf" : pdfFile;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(file));
    }
    PrintPicture(picture, printer);
    return true;
  } catch (const std::exception& error) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), QtText(error.what()),
                    QMessageBox::Ok, parent);
    box.exec();
    return false;
  }
}

} // namespace kv
