#include "app/ufrmSelectSkin.h"

#include "data/uExecData.h"
#include "gui/uBmpCodec.h"
#include "gui/uResamplers.h"

#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>

namespace kv {

namespace {

constexpr int PreviewWidth = 245;
constexpr int PreviewHeight = 161;

// source stretched bilinear onto a width x height surface, proportions not kept.
TBitmap32 Stretched(TBitmap32& source, int width, int height) {
  NewResampler<TLinearResampler>(source);
  TBitmap32 result(width, height);
  source.DrawStretched(result, TRect{0, 0, width, height});
  return result;
}

QImage ToImage(const TBitmap32& bitmap) {
  return QImage(reinterpret_cast<const uchar*>(bitmap.Bits()), bitmap.Width(), bitmap.Height(),
                bitmap.Width() * 4, QImage::Format_RGB32)
      .copy();
}

} // namespace

TfrmSelectSkin::TfrmSelectSkin(const TJigsawProject2& project, int32_t skinIndex, QWidget* parent)
    : TModalDialog(parent, false), SkinIndex(skinIndex) {
  setWindowTitle("Select Skin");
  setFixedSize(403, 197);

  lbSkins = new QListWidget(this);
  lbSkins->setObjectName("lbSkins");
  lbSkins->setGeometry(4, 4, 147, 161);
  imgPreview = new QLabel(this);
  imgPreview->setObjectName("imgPreview");
  imgPreview->setGeometry(154, 4, PreviewWidth, PreviewHeight);
  imgPreview->setAlignment(Qt::AlignCenter);

  auto* ok = new QPushButton("&OK", this);
  ok->setObjectName("btnOK");
  ok->setGeometry(240, 169, 75, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, [this] {
    // No line (a package without skins) leaves the index as it came.
    if (lbSkins->currentRow() >= 0) SkinIndex = lbSkins->currentRow();
    accept();
  });
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("btnCancel");
  cancel->setGeometry(322, 169, 75, 25);
  connect(cancel, &QPushButton::clicked, this, &TfrmSelectSkin::reject);

  for (std::size_t i = 0; i < project.Skins.size(); ++i) {
    TBitmap32 bitmap;
    bitmap.Assign(DecodeBmp(project.Skins[i]->Data.Bytes()));
    FThumbnails.push_back(Stretched(bitmap, ThumbnailSide, ThumbnailSide));
    lbSkins->addItem(QString("Skin #%1").arg(i + 1));
  }
  connect(lbSkins, &QListWidget::currentRowChanged, this, [this] { ShowPreview(); });
}

void TfrmSelectSkin::showEvent(QShowEvent* event) {
  if (SkinIndex >= 0 && SkinIndex < lbSkins->count()) lbSkins->setCurrentRow(SkinIndex);
  ShowPreview();
  TModalDialog::showEvent(event);
}

void TfrmSelectSkin::ShowPreview() {
  const int row = lbSkins->currentRow();
  if (row < 0 || static_cast<std::size_t>(row) >= FThumbnails.size()) {
    imgPreview->clear();
    return;
  }
  // The square thumbnail scaled to fit the preview, centred.
  const int side = std::min(PreviewWidth, PreviewHeight);
  TBitmap32 thumbnail(FThumbnails[static_cast<std::size_t>(row)]);
  imgPreview->setPixmap(QPixmap::fromImage(ToImage(Stretched(thumbnail, side, side))));
}

} // namespace kv
