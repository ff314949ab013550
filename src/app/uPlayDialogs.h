// What the play flow needs of the window: its dialogs, its status bar and playing area, and its own
// showing, hiding and closing. The main window answers with its Qt dialogs; tests answer with a script.
#pragma once

#include "core/uKVTypes.h"

#include <cstdint>
#include <string>

namespace kv {

// The texts of the win or lose dialog.
struct TGameResult {
  std::string Caption;
  std::string Heading;
  int32_t HeadingSize = 0; // points; 0 keeps the dialog's own
  std::string TimeLabel;
  std::string ClockText;
  // The Print button: offered after a win, hidden after a loss.
  bool PrintOffered = true;
};

// The answers of the "Next Bitmap" dialog.
enum class TNextPicture { npNext, npCurrent, npStop };

class IPlayDialogs {
public:
  virtual ~IPlayDialogs() = default;

  // The picture chooser: the chosen entry's index in the package's Pictures, or -1. takeOnClose: closing
  // the chooser without Play still takes the selected picture (at start-up).
  virtual int32_t ChoosePicture(bool takeOnClose) = 0;
  // "Best Top Ten": the name entered, possibly empty.
  virtual std::string AskHighScoreName() = 0;
  // A new entry is in the table: written to its file at once, so that nothing later loses it.
  virtual void HighScoresChanged() = 0;
  // The high-score list of a level.
  virtual void ShowHighScores(int32_t level) = 0;
  // The win or lose dialog; a Print there prints the game's picture.
  virtual void ShowResult(const TGameResult& result) = 0;
  virtual TNextPicture AskNextPicture() = 0;
  // The "Play" dialog after a loss: true for "Play Again".
  virtual bool AskPlayAgain() = 0;

  virtual void SetStatus(int32_t panel, const std::string& text) = 0;
  virtual void FillPlayingArea(TColor color) = 0;

  // Before a game is prepared: the package's popup menu, title and icon.
  virtual void ApplyPackageTitle() = 0;
  // The package's toolbar, skin and window layout.
  virtual void ApplyPackageStyle() = 0;
  virtual void HideWindow() = 0;
  // Shown, with the input focus on the playing area.
  virtual void ShowWindow() = 0;
  // A game has just started (new, restored or resumed): the player's own view choices go onto it.
  virtual void GameStarted() = 0;
  // Closes the window; the close query decides.
  virtual void CloseWindow() = 0;
  // Ends the program once control returns to the message loop.
  virtual void EndProgram() = 0;
};

} // namespace kv
