#include "app/ufrmChooseBitmap.h"

#include "gui/uBitmap32.h"
#include "gui/uResamplers.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "platform/uQtPlatform.h"

#include <QColor>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace kv {

namespace {

constexpr int PreviewSide = 255;

// The picture scaled to fit the preview, centred, bilinear, on the application-workspace colour.
QImage PreviewImage(const TBMPData& entry) {
  TBitmap32 preview(PreviewSide, PreviewSide);
  preview.Clear(Color32(clAppWorkSpace));
  try {
    TBitmap32 picture;
    DecodePackagePicture(entry, picture);
    NewResampler<TLinearResampler>(picture);
    const int64_t w = picture.Width(), h = picture.Height();
    int32_t dw = PreviewSide, dh = PreviewSide;
    if (w >= h)
      dh = static_cast<int32_t>(std::max<int64_t>(1, h * PreviewSide / w));
    else
      dw = static_cast<int32_t>(std::max<int64_t>(1, w * PreviewSide / h));
    const int32_t x = (PreviewSide - dw) / 2, y = (PreviewSide - dh) / 2;
    picture.DrawStretched(preview, TRect{x, y, x + dw, y + dh});
  } catch (const std::exception&) {
    // A picture that cannot be read shows as the empty preview.
  }
  return QImage(reinterpret_cast<const uchar*>(preview.Bits()), PreviewSide, PreviewSide, PreviewSide * 4,
                QImage::Format_RGB32)
      .copy();
}

} // namespace

TfrmChooseBitmap::TfrmChooseBitmap(const TJigsawProject2& project, QWidget* parent)
    : TModalDialog(parent), FProject(project) {
  setWindowTitle("Choose Image to Play");
  setFixedSize(427, 286);
  setFont(DialogFont());
  SetPanelColour(*this, QColor(0xE8, 0xE8, 0xE8));
  auto* listLabel = new QLabel("Bitmap List :", this);
  listLabel->move(8, 6);
  FList = new QListWidget(this);
  FList->setGeometry(8, 22, 144, 226);
  auto* previewLabel = new QLabel("Preview :", this);
  previewLabel->move(165, 6);
  FPreview = new QLabel(this);
  FPreview->setGeometry(165, 22, PreviewSide, PreviewSide);
  auto* play = new QPushButton("Play", this);
  play->setGeometry(8, 256, 75, 25);
  play->setDefault(true);
  connect(play, &QPushButton::clicked, this, [this] {
    BitmapIndex = SelectedIndex();
    accept();
  });
  connect(FList, &QListWidget::currentRowChanged, this, [this] { ShowPreview(); });
}

int32_t TfrmChooseBitmap::SelectedIndex() const {
  const int row = FList->currentRow();
  return row >= 0 && static_cast<std::size_t>(row) < FIndexes.size() ? FIndexes[static_cast<std::size_t>(row)]
                                                                     : BitmapIndex;
}

void TfrmChooseBitmap::ShowPreview() {
  const int32_t index = SelectedIndex();
  if (index < 0 || static_cast<std::size_t>(index) >= FProject.Pictures.size()) return;
  FPreview->setPixmap(QPixmap::fromImage(PreviewImage(*FProject.Pictures[static_cast<std::size_t>(index)])));
}

void TfrmChooseBitmap::showEvent(QShowEvent* event) {
  TModalDialog::showEvent(event);
  FList->blockSignals(true);
  FList->clear();
  FIndexes.clear();
  for (std::size_t i = 0; i < FProject.Pictures.size(); ++i)
    if (IsPictureId(FProject.Pictures[i]->ID)) {
      FList->addItem(QtText(FProject.Pictures[i]->Name));
      FIndexes.push_back(static_cast<int32_t>(i));
    }
  FList->blockSignals(false);
  if (FList->count() > 0) FList->setCurrentRow(0);
}

void TfrmChooseBitmap::hideEvent(QHideEvent* event) {
  BitmapIndex = SelectedIndex();
  TModalDialog::hideEvent(event);
}

} // namespace kv
