// What the player's dialogs have in common: the values their modal run returns, the close box and Escape
// giving Cancel, the place on the screen, the dialog font and the plain colour panels.
#pragma once

#include <QDialog>

class QColor;
class QFont;
class QWidget;

namespace kv {

// The values a dialog's exec() returns.
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrYes = 6;

class TModalDialog : public QDialog {
public:
  // centred: placed in the middle of the screen whenever it is shown.
  explicit TModalDialog(QWidget* parent = nullptr, bool centred = true);

  void accept() override { done(mrOk); }
  // Escape and the close box.
  void reject() override { done(mrCancel); }

protected:
  void showEvent(QShowEvent* event) override;

private:
  bool FCentred;
};

// Verdana 8 point; fontconfig substitutes where Verdana is missing.
QFont DialogFont();
// A font of the given family and pixel height.
QFont PixelFont(const char* family, int pixels, bool bold);
// Fills the widget's background with a plain colour (children without a background of their own show it).
void SetPanelColour(QWidget& widget, const QColor& colour);
// Left = (screen width - window width) div 2, top likewise, on the widget's screen.
void CentreOnScreen(QWidget& widget);

} // namespace kv
