// "Next Bitmap": after a picture of a sequence, play the next one (OK), the same one again (Yes) or stop
// (Cancel).
#pragma once

#include "app/uModalDialog.h"

namespace kv {

class TfrmNextBitmap : public TModalDialog {
public:
  explicit TfrmNextBitmap(QWidget* parent = nullptr);
};

} // namespace kv
