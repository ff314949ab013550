// "Creating Pieces Data...": a borderless window with a text and a bar 0..100, shown (never modal) while the
// pieces are cut.
#pragma once

#include <QWidget>

#include <cstdint>
#include <string>

class QLabel;
class QProgressBar;

namespace kv {

class TfrmProgressInfo : public QWidget {
public:
  explicit TfrmProgressInfo(QWidget* parent = nullptr);

  // A package text (Windows-1252); the label is repainted at once, the event loop may not run meanwhile.
  void SetText(const std::string& text);
  // Values above 100 show as 100.
  void SetPercent(uint8_t percent);

protected:
  void showEvent(QShowEvent* event) override;

private:
  QLabel* lblInfo;
  QProgressBar* pbProgress;
};

} // namespace kv
