// What the player's window tests share: the test program as a bare player, packages written from a model,
// a game brought to its last piece and won with the real mouse, and a log of the dialogs the window opened,
// answered by caption.
#pragma once

#include "app/uModalDialog.h"
#include "app/uQtPaintBox.h"
#include "app/ufrmMain.h"
#include "data/uExecData.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kvapptest {

// A program file without a package appended: the test program itself.
inline std::string Self() {
  return QCoreApplication::applicationFilePath().toStdString();
}

// A state folder of the test's own for the player's kept games, gone with the test: no game kept by one
// test is offered to the next.
class TStateFolder {
public:
  TStateFolder() { qputenv("XDG_STATE_HOME", QByteArray::fromStdString(Dir.path().string())); }
  // Left alone when a newer folder has taken the place already.
  ~TStateFolder() {
    if (qgetenv("XDG_STATE_HOME") == QByteArray::fromStdString(Dir.path().string()))
      qunsetenv("XDG_STATE_HOME");
  }
  TStateFolder(const TStateFolder&) = delete;
  TStateFolder& operator=(const TStateFolder&) = delete;
  const kvtest::TempDir& Folder() const { return Dir; }

private:
  kvtest::TempDir Dir;
};

// A new package model that cuts with the program's piece library.
inline std::unique_ptr<kv::TJigsawProject2> NewProject(const std::string& title) {
  kv::InstallPackagePictureSteps((std::filesystem::path(JIGSAW_BINARY_DIR) / "all.kvjc").string());
  auto project = std::make_unique<kv::TJigsawProject2>();
  project->Title = title;
  return project;
}

inline std::string SavePackage(kv::TJigsawProject2& project, const kvtest::TempDir& dir,
                               const std::string& name) {
  kv::TMemoryStream package;
  project.SaveToStream(package);
  const std::string file = dir.file(name);
  package.SaveToFile(file);
  return file;
}

// Puts every piece but the bottom-right one in its place as one joined group (all unturned) and leaves that
// one loose, up and left of its place, on top of the others.
inline void AssembleAllButOne(kv::TKVJigsawBoard& board) {
  const int32_t lastRow = board.Rows() - 1, lastCol = board.Cols() - 1;
  for (int32_t row = 0; row < board.Rows(); ++row)
    for (int32_t col = 0; col < board.Cols(); ++col) {
      kv::TKVBoardPiece& piece = board.Piece(row, col);
      const bool last = row == lastRow && col == lastCol;
      piece.Rotation = 0;
      piece.X = piece.CorrectX - (last ? 40 : 0);
      piece.Y = piece.CorrectY - (last ? 30 : 0);
      piece.Joined = last ? 0 : 1;
    }
  board.RaisePiece(lastCol, lastRow);
  board.InvalidateChanges();
}

// Drags the loose piece to its place with mouse events on the playing area; the drop completes the picture.
inline void DropLastPieceWithMouse(kv::TfrmMain& window) {
  kv::TKVJigsawBoard& board = *window.Session().Board();
  const kv::TKVBoardPiece& piece = board.Piece(board.Rows() - 1, board.Cols() - 1);
  const QPoint from(board.Left() + piece.X + piece.Width / 2, board.Top() + piece.Y + piece.Height / 2);
  const QPoint to = from + QPoint(40, 30);
  QWidget* area = window.PlayingArea();
  QTest::mousePress(area, Qt::LeftButton, {}, from);
  QTest::mouseMove(area, (from + to) / 2);
  QTest::mouseMove(area, to);
  QTest::mouseRelease(area, Qt::LeftButton, {}, to);
}

// A dialog's answers, one per showing, in turn; Cancel once they are used up.
inline std::function<int(QDialog&)> InTurn(std::vector<int> results) {
  return [results = std::move(results), next = std::size_t{0}](QDialog&) mutable {
    return next < results.size() ? results[next++] : kv::mrCancel;
  };
}

// What one dialog showed.
struct TShownDialog {
  QString Caption;
  QString Heading; // the win dialog's heading
  QString Time;    // the win dialog's time label and clock, "label|clock"
  bool PrintShown = false;
};

// Answers the window's dialogs: by caption, a handler that may fill the dialog and returns its result;
// OK (1) for any other. Every dialog is logged.
class TDialogScript {
public:
  explicit TDialogScript(kv::TfrmMain& window) {
    window.RunDialog = [this](QDialog& dialog) { return Run(dialog); };
  }
  std::map<QString, std::function<int(QDialog&)>> Answers;
  std::vector<TShownDialog> Shown;

  std::vector<QString> Captions() const {
    std::vector<QString> captions;
    for (const TShownDialog& shown : Shown) captions.push_back(shown.Caption);
    return captions;
  }

private:
  static QString Text(QDialog& dialog, const char* name) {
    const auto* label = dialog.findChild<QLabel*>(name);
    return label ? label->text() : QString();
  }
  int Run(QDialog& dialog) {
    TShownDialog shown{dialog.windowTitle(), Text(dialog, "lblHeading"), {}, false};
    if (dialog.findChild<QLabel*>("lblTime"))
      shown.Time = Text(dialog, "lblTime") + "|" + Text(dialog, "pnlClock");
    if (const auto* print = dialog.findChild<QWidget*>("btnPrint")) shown.PrintShown = !print->isHidden();
    Shown.push_back(shown);
    const auto answer = Answers.find(shown.Caption);
    return answer != Answers.end() ? answer->second(dialog) : kv::mrOk;
  }
};

} // namespace kvapptest
