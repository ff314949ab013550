// The end of a game as the player meets it: a fair win with the name entry and the high-score list (and the
// table in the documents folder at exit), wins after solving aids, pictures in sequence with "Next Bitmap",
// a count-down lost, the quit question of the package, and the dialogs of the skin, high-score and difficulty
// commands.
#include "AppFixtures.h"

#include "app/ufrmChooseBitmap.h"
#include "app/ufrmProgressInfo.h"
#include "app/ufrmSelectSkin.h"
#include "data/uHighScore.h"
#include "data/uKVStandardFunc.h"
#include "data/uKVStreamFunc.h"
#include "gui/uKVGUIForm.h"
#include "gui/uKVGUILabel.h"
#include "platform/uHeadlessPlatform.h"
#include "support/ImageFixtures.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

using kv::TfrmMain;
using namespace kvapptest;

namespace {

// A package of photos played in sequence at the given piece range, without turned pieces.
std::unique_ptr<kv::TJigsawProject2> Pictures(int count, int32_t minPieces = 25, int32_t maxPieces = 50) {
  std::unique_ptr<kv::TJigsawProject2> project = NewProject("Flow");
  for (int i = 0; i < count; ++i)
    project->AddPicture(0, static_cast<uint32_t>(i + 1)).Data =
        kv::TMemoryStream(kvtest::MakePhotoJpeg(400 - 40 * i, 300, 5 + i, 85));
  project->PictureChoiceMode = 1;
  project->NoRotation = 1;
  project->NumPiecesMin = minPieces;
  project->NumPiecesMax = maxPieces;
  for (kv::TPictureSettings& settings : project->PictureSettings) {
    settings.NumPiecesMin = minPieces;
    settings.NumPiecesMax = maxPieces;
  }
  return project;
}

// The package's published properties with one language line, as the package stores them.
kv::TMemoryStream PublishedLanguage(const std::string& line) {
  kv::TMemoryStream plain(std::vector<uint8_t>(line.begin(), line.end()));
  kv::TMemoryStream packed;
  kv::TKVStreamFunc::CompressStream(plain, packed);
  const std::string xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><TJigsawProject2><Name>Game</Name>"
                          "<Tag>0</Tag><Language>" +
                          kv::TKVStreamFunc::EncodeBase64(packed) + "</Language></TJigsawProject2>";
  return kv::TMemoryStream(std::vector<uint8_t>(xml.begin(), xml.end()));
}

// The text of the skinned question in the playing area.
QString QuestionText(TfrmMain& window) {
  const kv::TKVGUIForm* box = window.Session().QuestionBox();
  for (int32_t i = 0; box && i < box->ChildCount(); ++i)
    if (const auto* label = dynamic_cast<const kv::TKVGUILabel*>(box->Children(i)))
      return QString::fromStdString(label->Caption());
  return {};
}

} // namespace

class PlayFlowTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    Boxes = std::make_unique<kv::TScriptedMessageBoxes>();
    State = std::make_unique<kvapptest::TStateFolder>();
    qputenv("HOME", QByteArray::fromStdString(Home.path().string()));
    std::filesystem::remove(kv::TKVStandardFunc::DocumentsFolder() + "/JigsawHighScore.dat");
  }

  void aFairWinAsksForTheNameAndKeepsTheHighScore() {
    std::unique_ptr<kv::TJigsawProject2> project = Pictures(1);
    project->ShowHighScoreTable = 1;
    const std::string file = SavePackage(*project, Dir, "fair.kvj");
    QStringList listed;
    {
      TfrmMain window(Self(), {file}, Boxes.get());
      TDialogScript dialogs(window);
      dialogs.Answers["Best Top Ten"] = [](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("edName")->setText("Ada");
        return kv::mrOk;
      };
      dialogs.Answers["High Score"] = [&](QDialog& dialog) {
        const QTreeWidgetItem* first = dialog.findChild<QTreeWidget*>("lvHighScore")->topLevelItem(0);
        listed << first->text(0) + " " + first->text(1);
        return kv::mrOk;
      };
      // "Print": the picture goes to a PDF where the system has no printer.
      window.PrintFileName = Dir.file("won.pdf");
      dialogs.Answers["Win"] = [](QDialog& dialog) {
        dialog.findChild<QPushButton*>("btnPrint")->click();
        return dialog.result();
      };
      Boxes->Answers = {false}; // no more pictures: not again
      AssembleAllButOne(*window.Session().Board());
      DropLastPieceWithMouse(window);
      QVERIFY(window.Session().Board()->Won());
      QTRY_VERIFY(!window.isVisible());
      QCOMPARE(dialogs.Captions(), (std::vector<QString>{"Best Top Ten", "High Score", "Win", "High Score"}));
      QCOMPARE(dialogs.Shown[2].Heading, QString("You Win!"));
      QVERIFY(dialogs.Shown[2].Time.startsWith("Time to complete puzzle: |00:00:0"));
      QVERIFY(dialogs.Shown[2].PrintShown);
      QCOMPARE(listed, (QStringList{"1 Ada", "1 Ada"}));
      QCOMPARE(window.Flow().LastLevel(), uint8_t{0}); // 25 - 50 pieces: Easy
      QCOMPARE(Boxes->Shown.back().Text, std::string("No more image to play. Play again from first image?"));
      QVERIFY(window.Flow().QuitConfirmed());
      QVERIFY(std::filesystem::file_size(Dir.file("won.pdf")) > 1000);
    }
    // The table is written at exit and read at the next start.
    kv::THighScore table;
    table.LoadFromFile(kv::TKVStandardFunc::DocumentsFolder() + "/JigsawHighScore.dat");
    QCOMPARE(table.GetEntry(0, 0).Name, std::string("Ada"));
    TfrmMain again(Self(), {file}, Boxes.get());
    QCOMPARE(again.HighScores().Count(0), 1);
    again.Flow().SetQuitConfirmed(true);
  }

  void aWinAfterSolvingAidsIsNoFairWin_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("heading");
    QTest::newRow("one piece solved") << 10 << "Win with cheat"
                                      << "You win but you cheat 1X";
    QTest::newRow("all solved") << 19 << "Auto solve complete"
                                << "Auto solve complete";
  }
  void aWinAfterSolvingAidsIsNoFairWin() {
    QFETCH(int, command);
    QFETCH(QString, caption);
    QFETCH(QString, heading);
    std::unique_ptr<kv::TJigsawProject2> project = Pictures(1);
    project->PictureChoiceMode = 0;          // the only picture, without the chooser
    project->EndActions.AddScript().ID = 18; // "Play again?"
    TfrmMain window(Self(), {SavePackage(*project, Dir, "aids.kvj")}, Boxes.get());
    TDialogScript dialogs(window);
    Boxes->Answers = {false};
    window.ExecuteCommand(nullptr, command, kv::TScriptParameter());
    kv::TKVJigsawBoard& board = *window.Session().Board();
    QTRY_VERIFY_WITH_TIMEOUT(!board.Busy(), 20000);
    if (!board.Won()) {
      AssembleAllButOne(board);
      DropLastPieceWithMouse(window);
    }
    QTRY_VERIFY(!window.isVisible());
    // No name is asked for; the list still shows.
    QCOMPARE(dialogs.Captions(), (std::vector<QString>{caption, "High Score"}));
    QCOMPARE(dialogs.Shown[0].Heading, heading);
    QCOMPARE(window.Session().CheatCount(), 0);
    QCOMPARE(Boxes->Shown.back().Text, std::string("Play again?"));
    QCOMPARE(window.HighScores().Count(0), 0);
  }

  void picturesInSequenceGoOnWithNextBitmap() {
    std::unique_ptr<kv::TJigsawProject2> project = Pictures(3);
    project->Options.NoHighScores = true;
    TfrmMain window(Self(), {SavePackage(*project, Dir, "sequence.kvj")}, Boxes.get());
    TDialogScript dialogs(window);
    dialogs.Answers["Next Bitmap"] = InTurn({kv::mrOk, kv::mrYes, kv::mrOk});
    Boxes->Answers = {true}; // after the last: again from the first
    const std::vector<int32_t> expected{1, 1, 2, 0};
    for (const int32_t next : expected) {
      const std::size_t wins = dialogs.Shown.size();
      AssembleAllButOne(*window.Session().Board());
      DropLastPieceWithMouse(window);
      QTRY_COMPARE(window.Flow().CurrentPicture(), next);
      QTRY_VERIFY(window.Session().State() == kv::TGameState::Running && !window.Session().Board()->Won());
      QCOMPARE(dialogs.Shown[wins].Caption, QString("Win"));
    }
    QCOMPARE(dialogs.Captions(),
             (std::vector<QString>{"Win", "Next Bitmap", "Win", "Next Bitmap", "Win", "Next Bitmap", "Win"}));
    QCOMPARE(Boxes->Shown.back().Text, std::string("No more image to play. Play again from first image?"));
    QVERIFY(window.isVisible());
    window.Flow().SetQuitConfirmed(true);
  }

  void aStopInTheSequenceEndsTheGame() {
    std::unique_ptr<kv::TJigsawProject2> project = Pictures(2);
    project->Options.NoHighScores = true;
    TfrmMain window(Self(), {SavePackage(*project, Dir, "stop.kvj")}, Boxes.get());
    TDialogScript dialogs(window);
    dialogs.Answers["Next Bitmap"] = [](QDialog&) { return kv::mrCancel; };
    AssembleAllButOne(*window.Session().Board());
    DropLastPieceWithMouse(window);
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(window.Flow().SequenceIndex(), 0);
    QVERIFY(window.Flow().QuitConfirmed());
  }

  void aLostCountDownShowsTheTimeItAllowedAndOffersAnotherGame() {
    std::unique_ptr<kv::TJigsawProject2> project = Pictures(1);
    project->Countdown = 1;
    project->CountdownSeconds = 1;
    TfrmMain window(Self(), {SavePackage(*project, Dir, "lost.kvj")}, Boxes.get());
    TDialogScript dialogs(window);
    dialogs.Answers["Play"] = InTurn({kv::mrOk, kv::mrCancel});
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.Shown.size(), std::size_t{2}, 5000);
    QCOMPARE(dialogs.Shown[0].Caption, QString("Lose"));
    QCOMPARE(dialogs.Shown[0].Heading, QString("You Lose!"));
    QCOMPARE(dialogs.Shown[0].Time, QString("Your estimated time to solve:|00:00:01"));
    QVERIFY(!dialogs.Shown[0].PrintShown);
    // "Play Again": a new game counts down again.
    QVERIFY(window.isVisible());
    QTRY_VERIFY(window.Session().State() == kv::TGameState::Running && window.Session().Board());
    // "Stop": the window closes.
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 5000);
    QCOMPARE(dialogs.Captions(), (std::vector<QString>{"Lose", "Play", "Lose", "Play"}));
    QVERIFY(window.Flow().QuitConfirmed());
  }

  // The same end through the dialogs' own modal loops, opened from within the clock's tick.
  void aLostCountDownThroughTheRealDialogs() {
    std::unique_ptr<kv::TJigsawProject2> project = Pictures(1);
    project->Countdown = 1;
    project->CountdownSeconds = 1;
    TfrmMain window(Self(), {SavePackage(*project, Dir, "lost-real.kvj")}, Boxes.get());
    QStringList seen;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dialog || !dialog->isVisible()) return;
      seen << dialog->windowTitle();
      const char* button = dialog->windowTitle() == "Play" ? "btnStop" : "btnOK";
      if (auto* push = dialog->findChild<QPushButton*>(button)) push->click();
    });
    answer.start(50);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 8000);
    QCOMPARE(seen, (QStringList{"Lose", "Play"}));
    QVERIFY(window.Flow().QuitConfirmed());
  }

  void theQuitQuestionComesFromThePackage_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("question");
    QTest::newRow("own question") << "QUIT=Leave the puzzle?"
                                  << "Leave the puzzle?";
    QTest::newRow("none at all") << "quit="
                                 << "";
    QTest::newRow("the usual one") << "title=Flow"
                                   << "Quit Flow ?";
  }
  void theQuitQuestionComesFromThePackage() {
    QFETCH(QString, line);
    QFETCH(QString, question);
    std::unique_ptr<kv::TJigsawProject2> project = Pictures(1);
    project->PublishedXml = PublishedLanguage(line.toStdString());
    TfrmMain window(Self(), {SavePackage(*project, Dir, "quit.kvj")}, Boxes.get());
    QCOMPARE(window.close(), question.isEmpty());
    QCOMPARE(QuestionText(window), question);
    if (window.isVisible()) window.Flow().SetQuitConfirmed(true);
  }

  void thePlayerChoosesThePictureAndTheCloseBoxPlaysOnlyAtStart() {
    std::unique_ptr<kv::TJigsawProject2> project = Pictures(3);
    project->PictureChoiceMode = 0;
    for (int i = 0; i < 3; ++i)
      project->Pictures[static_cast<std::size_t>(i)]->Name = "Photo " + std::to_string(i);
    project->AddPicture(1, 0).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(64, 48, 9, 85)); // a wallpaper
    const std::string file = SavePackage(*project, Dir, "choose.kvj");
    QStringList listed;
    QTimer::singleShot(0, [&] {
      auto* chooser = dynamic_cast<kv::TfrmChooseBitmap*>(QApplication::activeModalWidget());
      if (!chooser) return;
      QListWidget* list = chooser->findChild<QListWidget*>();
      for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text();
      list->setCurrentRow(1);
      chooser->close();
    });
    TfrmMain window(Self(), {file}, Boxes.get());
    QCOMPARE(listed, (QStringList{"Photo 0", "Photo 1", "Photo 2"}));
    QCOMPARE(window.Flow().CurrentPicture(), 1);
    QVERIFY(window.Session().State() == kv::TGameState::Running);
    // Later the close box starts nothing; "Play" starts the selected picture.
    TDialogScript dialogs(window);
    // A piece moved where no new game puts one tells the running game from a new one.
    window.Session().Board()->Piece(0, 0).X = -777;
    for (const int answer : {kv::mrCancel, kv::mrOk}) {
      dialogs.Answers["Choose Image to Play"] = [&](QDialog& dialog) {
        dialog.show();
        dialog.findChild<QListWidget*>()->setCurrentRow(2);
        if (answer == kv::mrOk)
          dialog.findChild<QPushButton*>()->click();
        else
          dialog.close();
        return dialog.result();
      };
      window.ExecuteCommand(nullptr, 15, kv::TScriptParameter());
      QCOMPARE(window.Flow().CurrentPicture(), answer == kv::mrOk ? 2 : 1);
      QCOMPARE(window.Session().Board()->Piece(0, 0).X == -777, answer != kv::mrOk);
    }
    window.Flow().SetQuitConfirmed(true);
  }

  void theHighScoreCommandShowsTheListOfTheLastLevel() {
    std::unique_ptr<kv::TJigsawProject2> project = Pictures(1);
    TfrmMain window(Self(), {SavePackage(*project, Dir, "scores.kvj")}, Boxes.get());
    TDialogScript dialogs(window);
    window.HighScores().Add(kv::THighScoreData{"Hard one", 90, 2});
    window.Flow().SetLastLevel(2);
    QStringList lines;
    dialogs.Answers["High Score"] = [&](QDialog& dialog) {
      QTreeWidget* list = dialog.findChild<QTreeWidget*>("lvHighScore");
      for (int i = 0; i < list->topLevelItemCount(); ++i)
        lines << list->topLevelItem(i)->text(1) + " " + list->topLevelItem(i)->text(2);
      // Open with the game paused.
      return window.Session().State() == kv::TGameState::Paused ? kv::mrOk : -1;
    };
    window.ExecuteCommand(nullptr, 12, kv::TScriptParameter());
    QCOMPARE(lines, QStringList{"Hard one 00:01:30"});
    QVERIFY(window.Session().State() == kv::TGameState::Running);
    window.Flow().SetQuitConfirmed(true);
  }

  void aNewDifficultyRestartsThePictureWithItsRange() {
    std::unique_ptr<kv::TJigsawProject2> project = Pictures(1, 0, 24);
    TfrmMain window(Self(), {SavePackage(*project, Dir, "difficulty.kvj")}, Boxes.get());
    TDialogScript dialogs(window);
    const int32_t before = window.Session().Board()->PieceCount();
    QString preselected;
    dialogs.Answers["Change Difficulty"] = [&](QDialog& dialog) {
      auto* list = dialog.findChild<QComboBox*>("cbPieces");
      dialog.show(); // preselects
      preselected = list->currentText();
      list->setCurrentIndex(3);
      emit list->activated(3);
      dialog.hide();
      return kv::mrOk;
    };
    window.ExecuteCommand(nullptr, 23, kv::TScriptParameter());
    QCOMPARE(preselected, QString("< 25 pieces"));
    QCOMPARE(window.Project()->NumPiecesMin, 101);
    QCOMPARE(window.Project()->NumPiecesMax, 150);
    QCOMPARE(window.Project()->FindPictureSettings(1)->NumPiecesMax, 150);
    QVERIFY(window.Session().State() == kv::TGameState::Running);
    QVERIFY(window.Session().Board()->PieceCount() > before);
    QCOMPARE(window.Session().Difficulty(), uint8_t{3});
    // Cancel keeps the game.
    window.Session().Board()->Piece(0, 0).X = -777;
    dialogs.Answers["Change Difficulty"] = [](QDialog&) { return kv::mrCancel; };
    window.ExecuteCommand(nullptr, 23, kv::TScriptParameter());
    QCOMPARE(window.Session().Board()->Piece(0, 0).X, -777);
    QVERIFY(window.Session().State() == kv::TGameState::Running);
    window.Flow().SetQuitConfirmed(true);
  }

  void theSkinChooserSetsTheSkinOfTheGame() {
    std::unique_ptr<kv::TJigsawProject2> project = Pictures(1);
    for (int i = 0; i < 2; ++i) {
      auto skin = std::make_unique<kv::TSkinEntry>();
      skin->ID = static_cast<uint32_t>(i + 1);
      skin->Data = kv::TMemoryStream(kvtest::MakeBmp(32 + i, 24));
      project->Skins.push_back(std::move(skin));
    }
    TfrmMain window(Self(), {SavePackage(*project, Dir, "skins.kvj")}, Boxes.get());
    TDialogScript dialogs(window);
    dialogs.Answers["Select Skin"] = [&](QDialog& dialog) {
      auto& chooser = static_cast<kv::TfrmSelectSkin&>(dialog);
      if (chooser.SkinIndex != 0 || chooser.Thumbnails().size() != 2) return kv::mrCancel;
      chooser.SkinIndex = 1;
      return kv::mrOk;
    };
    window.ExecuteCommand(nullptr, 9, kv::TScriptParameter());
    QCOMPARE(dialogs.Captions(), std::vector<QString>{"Select Skin"});
    QCOMPARE(window.CurrentSkin(), 1);
    QCOMPARE(window.Project()->StartSkinIndex, 1);
    QCOMPARE(window.Project()->SkinIndex, 1);
    QVERIFY(window.Session().State() == kv::TGameState::Running);
    // The board still fills the playing area.
    QCOMPARE(window.Session().Board()->Width(), window.PlayingArea()->ClientWidth());
    window.Flow().SetQuitConfirmed(true);
  }

  void theProgressWindowShowsWhileALongCutRunsAndGoesAfter() {
    std::unique_ptr<kv::TJigsawProject2> project = Pictures(1, 201, 65535);
    project->Options.NoHighScores = true;
    TfrmMain window(Self(), {SavePackage(*project, Dir, "progress.kvj")}, Boxes.get());
    QVERIFY(!window.ProgressWindow());
    window.ProgressWindowDelay = 0;
    int steps = 0;
    QString caption;
    window.Session().OnProgress =
        [&, handler = window.Session().OnProgress](int32_t kind, const std::string& text, int32_t value) {
          handler(kind, text, value);
          if (kind == kv::kvpkStep && window.ProgressWindow() && window.ProgressWindow()->isVisible())
            ++steps;
          if (window.ProgressWindow()) caption = window.ProgressWindow()->windowTitle();
        };
    window.ExecuteCommand(nullptr, 15, kv::TScriptParameter());
    QVERIFY(steps > 0);
    QCOMPARE(caption, QString("Creating Pieces Data..."));
    QVERIFY(!window.ProgressWindow());
    window.Flow().SetQuitConfirmed(true);
  }

  void aPreparedGameOfThePackageIsOfferedAtTheStart_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("played") << true;
    QTest::newRow("declined") << false;
  }
  void aPreparedGameOfThePackageIsOfferedAtTheStart() {
    QFETCH(bool, yes);
    // A game of the package, saved with every piece at a known place.
    std::unique_ptr<kv::TJigsawProject2> project = Pictures(1, 25, 50);
    kv::TJigsawFile saved;
    {
      TfrmMain first(Self(), {SavePackage(*project, Dir, "plain.kvj")}, Boxes.get());
      kv::TKVJigsawBoard& board = *first.Session().Board();
      for (kv::TKVBoardPiece& piece : board.Pieces()) {
        piece.X = 7;
        piece.Y = 9;
      }
      saved.Columns = board.Cols();
      saved.Rows = board.Rows();
      for (int32_t row = 0; row < board.Rows(); ++row)
        for (int32_t col = 0; col < board.Cols(); ++col) saved.PieceStates.push_back(board.State(row, col));
      project->PreparedGame.Columns = saved.Columns;
      project->PreparedGame.Rows = saved.Rows;
      kv::WritePieceStates(saved.PieceStates, project->PreparedGame.Pieces);
      // A fresh game would be cut smaller.
      project->NumPiecesMin = 0;
      project->NumPiecesMax = 24;
      project->FindPictureSettings(1)->NumPiecesMin = 0;
      project->FindPictureSettings(1)->NumPiecesMax = 24;
      first.Flow().SetQuitConfirmed(true);
    }
    // The first window kept its game; this start is about the package's own saved game only.
    State = std::make_unique<kvapptest::TStateFolder>();
    Boxes->Answers = {yes};
    TfrmMain window(Self(), {SavePackage(*project, Dir, "prepared.kvj")}, Boxes.get());
    QCOMPARE(Boxes->Shown.front().Text, std::string("Project contains saved game data. Play saved game?"));
    kv::TKVJigsawBoard& board = *window.Session().Board();
    QCOMPARE(board.Cols() == saved.Columns && board.Rows() == saved.Rows, yes);
    const auto& pieces = board.Pieces();
    QCOMPARE(std::all_of(pieces.begin(), pieces.end(),
                         [](const kv::TKVBoardPiece& p) { return p.X == 7 && p.Y == 9; }),
             yes);
    window.Flow().SetQuitConfirmed(true);
  }

private:
  kvtest::TempDir Dir, Home;
  std::unique_ptr<kv::TScriptedMessageBoxes> Boxes;
  std::unique_ptr<kvapptest::TStateFolder> State;
};

QTEST_MAIN(PlayFlowTest)
#include "PlayFlowTest.moc"
