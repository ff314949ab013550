// "Play": after a lost game, play again (OK) or stop (Cancel).
#pragma once

#include "app/uModalDialog.h"

namespace kv {

class TfrmPlayAgain : public TModalDialog {
public:
  explicit TfrmPlayAgain(QWidget* parent = nullptr);
};

} // namespace kv
