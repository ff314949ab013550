// The main window's commands as the package's menus and scripts give them: the menus built from the package's
// records, check marks on the entries that sent a command, commands that act only on a running game, playing
// a picture by number, saving a game and opening it again in a new run, and the two ways to exit.
#include "AppFixtures.h"

#include "app/uBannerPanel.h"
#include "app/uQtPaintBox.h"
#include "app/ufrmMain.h"
#include "data/uExecData.h"
#include "data/uJigsawFile.h"
#include "data/uKVConfig.h"
#include "gui/uKVGraphicEngine.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "platform/uHeadlessPlatform.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <QMenu>
#include <QMenuBar>
#include <QtTest>

#include <QStatusBar>

#include <filesystem>
#include <set>
#include <sys/stat.h>

using kv::TfrmMain;
using kvapptest::Self;

namespace {

kv::TMenuExRec& AddMenu(kv::TMenuList& list, uint8_t number, const std::string& caption, int32_t command,
                        const std::string& name = "") {
  auto record = std::make_unique<kv::TMenuExRec>();
  record->MenuNumber = number;
  record->Caption = caption;
  record->Name = name;
  record->Script.ID = command;
  list.push_back(std::move(record));
  return *list.back();
}

// Two pictures played in sequence, a menu bar "&Game" with a nested "&Options" submenu, and a popup menu.
std::string WritePackage(const kvtest::TempDir& dir, const std::string& name, bool popup = true,
                         uint32_t firstId = 1, int16_t skinMode = 0) {
  std::unique_ptr<kv::TJigsawProject2> project = kvapptest::NewProject("Commands");
  project->AddPicture(0, firstId).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(400, 300, 3, 85));
  project->AddPicture(0, 2).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(300, 400, 4, 85));
  project->PictureChoiceMode = 1;
  project->SkinMode = skinMode;
  project->Menus.clear();
  kv::TMenuExRec& game = AddMenu(project->Menus, 0, "&Game", -1);
  AddMenu(game.Children, 0, "&New game", 15);
  AddMenu(game.Children, 0, "-", -1);
  kv::TMenuExRec& options = AddMenu(game.Children, 0, "&Options", -1);
  AddMenu(options.Children, 0, "&Sound", 8);
  AddMenu(options.Children, 0, "", 28, "EdgesOnly");
  if (popup) AddMenu(project->Menus, 1, "&Pause", 24);
  return kvapptest::SavePackage(*project, dir, name);
}

QAction* FindEntry(const QList<QAction*>& actions, const QString& text) {
  for (QAction* action : actions) {
    if (action->text() == text) return action;
    if (QMenu* submenu = action->menu())
      if (QAction* found = FindEntry(submenu->actions(), text)) return found;
  }
  return nullptr;
}

kv::TScriptParameter Integer(int32_t value) {
  kv::TScriptParameter parameter;
  parameter.AddInteger(value);
  return parameter;
}

} // namespace

class CommandsTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    Boxes = std::make_unique<kv::TScriptedMessageBoxes>();
    State = std::make_unique<kvapptest::TStateFolder>();
    qputenv("HOME", QByteArray::fromStdString(Home.path().string()));
  }

  void theMenusAreBuiltFromThePackage() {
    TfrmMain window(Self(), {WritePackage(Dir, "menus.kvj")}, Boxes.get());
    const QList<QAction*> bar = window.menuBar()->actions();
    QCOMPARE(bar.size(), 1);
    QCOMPARE(bar.front()->text(), QString("&Game"));
    QVERIFY(FindEntry(bar, "&Sound") != nullptr);
    // An empty caption shows the record's name; "-" is a separator.
    QVERIFY(FindEntry(bar, "EdgesOnly") != nullptr);
    const QList<QAction*> game = bar.front()->menu()->actions();
    QVERIFY(game.size() >= 3 && game[1]->isSeparator());
    // The popup menu ends with the package's entries, a separator and "About Tessarix".
    const QList<QAction*> popup = window.PopupMenu()->actions();
    QCOMPARE(popup.size(), 3);
    QCOMPARE(popup[0]->text(), QString("&Pause"));
    QVERIFY(popup[1]->isSeparator());
    QCOMPARE(popup[2]->text(), QString("About Tessarix"));
  }

  void aNestedEntryGetsTheCheckMarkOfItsCommand() {
    TfrmMain window(Self(), {WritePackage(Dir, "check.kvj")}, Boxes.get());
    QAction* sound = FindEntry(window.menuBar()->actions(), "&Sound");
    QVERIFY(sound);
    const bool before = window.Session().SoundOn();
    // From the start, before any toggle, the mark shows the state that holds.
    QVERIFY(sound->isCheckable());
    QCOMPARE(sound->isChecked(), before);
    QAction* edgesAtStart = FindEntry(window.menuBar()->actions(), "EdgesOnly");
    QVERIFY(edgesAtStart->isCheckable() && !edgesAtStart->isChecked());
    sound->trigger();
    QCOMPARE(window.Session().SoundOn(), !before);
    QVERIFY(sound->isCheckable());
    QCOMPARE(sound->isChecked(), !before);
    QAction* edges = FindEntry(window.menuBar()->actions(), "EdgesOnly");
    edges->trigger();
    QVERIFY(window.Session().EdgesOnly());
    QVERIFY(edges->isChecked());
    QAction* pause = FindEntry(window.PopupMenu()->actions(), "&Pause");
    pause->trigger();
    QCOMPARE(window.Session().State(), kv::TGameState::Paused);
    QVERIFY(pause->isChecked());
    pause->trigger();
    QCOMPARE(window.Session().State(), kv::TGameState::Running);
    QVERIFY(!pause->isChecked());
  }

  void commandsForARunningGameDoNothingWhilePaused() {
    TfrmMain window(Self(), {WritePackage(Dir, "paused.kvj")}, Boxes.get());
    kv::TKVJigsawBoard& board = *window.Session().Board();
    window.Session().Pause();
    for (const int32_t command : {7, 10, 19, 20, 25}) {
      window.ExecuteCommand(nullptr, command, kv::TScriptParameter());
      QVERIFY2(window.Session().CheatCount() == 0, qPrintable(QString::number(command)));
      QVERIFY(!window.Session().Stopped());
      QVERIFY(!board.Piece(0, 0).Marked);
    }
    window.Session().Resume();
    window.ExecuteCommand(nullptr, 25, kv::TScriptParameter());
    QVERIFY(board.Piece(0, 0).Marked);
    window.ExecuteCommand(nullptr, 26, kv::TScriptParameter());
    QVERIFY(!board.Piece(0, 0).Marked);
    window.ExecuteCommand(nullptr, 10, kv::TScriptParameter());
    QCOMPARE(window.Session().CheatCount(), 1);
    window.ExecuteCommand(nullptr, 19, kv::TScriptParameter());
    QCOMPARE(window.Session().CheatCount(), board.PieceCount());
  }

  void playPictureTakesTheNumberOfAPlayablePicture() {
    TfrmMain window(Self(), {WritePackage(Dir, "play.kvj")}, Boxes.get());
    QCOMPARE(window.Flow().CurrentPictureID(), 1u);
    window.ExecuteCommand(nullptr, 14, Integer(1));
    QCOMPARE(window.Flow().CurrentPictureID(), 2u);
    QCOMPARE(window.Session().State(), kv::TGameState::Running);
    window.ExecuteCommand(nullptr, 14, Integer(0));
    QCOMPARE(window.Flow().CurrentPictureID(), 1u);
    QVERIFY(Boxes->Shown.empty());
    // One past the last: the message, and the session stays reset.
    window.ExecuteCommand(nullptr, 14, Integer(2));
    QCOMPARE(Boxes->Shown.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(Boxes->Shown.front().Text), QString("Invalid picture index."));
    QVERIFY(window.Session().Board() == nullptr);
    // A text where a number belongs is ignored.
    kv::TScriptParameter text;
    text.AddText("1");
    window.ExecuteCommand(nullptr, 14, text);
    QCOMPARE(Boxes->Shown.size(), std::size_t{1});
  }

  void aSavedGameOpensInANewRunWherePiecesWere() {
    const std::string package = WritePackage(Dir, "saved.kvj");
    const std::string jsw = Dir.file("game.jsw");
    std::vector<std::pair<int32_t, int32_t>> places;
    {
      TfrmMain window(Self(), {package}, Boxes.get());
      window.ExecuteCommand(nullptr, 10, kv::TScriptParameter()); // one piece moved by the aid
      std::string asked;
      window.AskSaveFileName = [&](const std::string& title, const std::string& filter,
                                   const std::string& ext) {
        asked = title + "|" + filter + "|" + ext;
        return jsw;
      };
      window.ExecuteCommand(nullptr, 2, kv::TScriptParameter());
      QCOMPARE(QString::fromStdString(asked),
               QString("Save Jigsaw Data|Jigsaw Saved Data (*.jsw)|*.jsw|jsw"));
      QCOMPARE(window.Session().State(), kv::TGameState::Running);
      const kv::TKVJigsawBoard& board = *window.Session().Board();
      for (int32_t r = 0; r < board.Rows(); ++r)
        for (int32_t c = 0; c < board.Cols(); ++c)
          places.emplace_back(board.Piece(r, c).X, board.Piece(r, c).Y);
      window.Flow().SetQuitConfirmed(true);
    }
    QVERIFY(std::filesystem::exists(jsw));
    QCOMPARE(QString::fromStdString(Boxes->Shown.back().Text),
             QString::fromStdString("Game is successfully saved into file " + jsw));

    TfrmMain window(Self(), {package}, Boxes.get());
    std::string asked;
    window.AskOpenFileName = [&](const std::string& title, const std::string&) {
      asked = title;
      return jsw;
    };
    window.ExecuteCommand(nullptr, 1, kv::TScriptParameter());
    QCOMPARE(QString::fromStdString(asked), QString("Open Jigsaw Saved Data"));
    QCOMPARE(window.Session().State(), kv::TGameState::Running);
    QCOMPARE(window.Session().CheatCount(), 1);
    const kv::TKVJigsawBoard& board = *window.Session().Board();
    std::size_t i = 0;
    for (int32_t r = 0; r < board.Rows(); ++r)
      for (int32_t c = 0; c < board.Cols(); ++c, ++i) {
        QCOMPARE(board.Piece(r, c).X, places[i].first);
        QCOMPARE(board.Piece(r, c).Y, places[i].second);
      }
  }

  void aSavedGameOfAnotherPictureIsRefusedAndTheGameGoesOn() {
    const std::string package = WritePackage(Dir, "refuse.kvj");
    const std::string jsw = Dir.file("other.jsw");
    {
      // The same game, its first picture under another id.
      TfrmMain window(Self(), {WritePackage(Dir, "other.kvj", true, 77)}, Boxes.get());
      window.AskSaveFileName = [&](const std::string&, const std::string&, const std::string&) {
        return jsw;
      };
      window.ExecuteCommand(nullptr, 2, kv::TScriptParameter());
      window.Flow().SetQuitConfirmed(true);
    }
    Boxes->Shown.clear();
    TfrmMain window(Self(), {package}, Boxes.get());
    const kv::TKVJigsawBoard* before = window.Session().Board();
    window.AskOpenFileName = [&](const std::string&, const std::string&) { return jsw; };
    window.ExecuteCommand(nullptr, 1, kv::TScriptParameter());
    QCOMPARE(Boxes->Shown.size(), std::size_t{1});
    QVERIFY(QString::fromStdString(Boxes->Shown.front().Text).startsWith("Unable to load JSW file. "));
    QCOMPARE(window.Session().Board(), before);
    // A file that is not there.
    window.AskOpenFileName = [&](const std::string&, const std::string&) { return Dir.file("missing.jsw"); };
    window.ExecuteCommand(nullptr, 1, kv::TScriptParameter());
    QCOMPARE(QString::fromStdString(Boxes->Shown.back().Text),
             QString::fromStdString("File " + Dir.file("missing.jsw") + " not found."));
  }

  void exitAsksWhileAGameRunsAndExitWithoutAskingDoesNot() {
    TfrmMain window(Self(), {WritePackage(Dir, "exit.kvj")}, Boxes.get());
    window.ExecuteCommand(nullptr, 3, kv::TScriptParameter());
    QVERIFY(window.isVisible());
    QVERIFY(window.Session().QuestionBox() != nullptr);
    window.ExecuteCommand(nullptr, 16, kv::TScriptParameter());
    QVERIFY(!window.isVisible());
  }

  void theToolbarLookFollowsTheWindowStyle() {
    const std::vector<std::pair<int16_t, std::string>> cases = {
        {15, "Default"}, {20, "Sentimox"}, {21, "Stripes"}, {0, "Sentimox"}, {49, "Sentimox"}};
    std::set<QString> sheets;
    for (const auto& [mode, look] : cases) {
      TfrmMain window(Self(), {WritePackage(Dir, "look.kvj", true, 1, mode)}, Boxes.get());
      QCOMPARE(QString::fromStdString(window.ToolbarTheme()), QString::fromStdString(look));
      QVERIFY(window.menuBar()->isVisible());
      sheets.insert(window.menuBar()->styleSheet());
    }
    QCOMPARE(sheets.size(), std::size_t{3}); // three looks, each its own
    // Style 19: no bars, no border.
    TfrmMain window(Self(), {WritePackage(Dir, "bare.kvj", true, 1, 19)}, Boxes.get());
    QVERIFY(!window.menuBar()->isVisible());
    QVERIFY(!window.statusBar()->isVisible());
    QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
  }

  void thePictureOfThePlayingAreaIsSavedAsBmpOrJpeg() {
    TfrmMain window(Self(), {WritePackage(Dir, "picture.kvj")}, Boxes.get());
    QTRY_VERIFY_WITH_TIMEOUT(window.PlayingArea()->FramesPresented() > 0, 5000);
    const kv::TBitmap32& shown = *window.Session().Engine().GetBuffer();
    // The name's extension decides; without a known one, the filter chosen in the dialog (0 BMP, 1 JPEG).
    const std::pair<std::string, int> saves[] = {{"view.bmp", 1}, {"view.jpg", 0}, {"view.JPG", 0},
                                                 {"shot", 1},     {"shot.bmp", 1}, {"other.xyz", 0}};
    for (const auto& [name, filter] : saves) {
      const std::string file = Dir.file(name);
      window.AskSaveFileName = [&, filter = filter](const std::string&, const std::string&,
                                                    const std::string&) {
        window.SaveFilterIndex = filter;
        return file;
      };
      window.ExecuteCommand(nullptr, 21, kv::TScriptParameter());
      QCOMPARE(QString::fromStdString(Boxes->Shown.back().Text),
               QString::fromStdString("Picture successfully saved into file " + file));
      QCOMPARE(window.Session().State(), kv::TGameState::Running);
      const std::vector<uint8_t> bytes = kvtest::ReadFileBytes(file);
      if (name.ends_with(".bmp") || name == "other.xyz") {
        QVERIFY(bytes.size() > 54 && bytes[0] == 'B' && bytes[28] == 24);
        QCOMPARE(static_cast<int>(bytes[18] | bytes[19] << 8), shown.Width());
      } else {
        QVERIFY(bytes.size() > 4 && bytes[0] == 0xFF && bytes[1] == 0xD8); // a JPEG file
      }
    }
    // A folder that does not exist.
    const std::size_t before = Boxes->Shown.size();
    window.AskSaveFileName = [&](const std::string&, const std::string&, const std::string&) {
      return Dir.file("missing/view.bmp");
    };
    window.ExecuteCommand(nullptr, 21, kv::TScriptParameter());
    QCOMPARE(Boxes->Shown.size(), before + 1);
    QCOMPARE(QString::fromStdString(Boxes->Shown.back().Text), QString("Unable to save picture"));
    // The game goes on after the failure.
    QCOMPARE(window.Session().State(), kv::TGameState::Running);
  }

  void aGameThatCannotBeSavedGoesOn() {
    TfrmMain window(Self(), {WritePackage(Dir, "unsaved.kvj")}, Boxes.get());
    window.AskSaveFileName = [&](const std::string&, const std::string&, const std::string&) {
      return Dir.file("missing/game.jsw");
    };
    window.ExecuteCommand(nullptr, 2, kv::TScriptParameter());
    // The design's words, then the file and the system's reason.
    const QString said = QString::fromStdString(Boxes->Shown.back().Text);
    QVERIFY2(said.startsWith("Unable to save game. ") && said.contains("missing/game.jsw") &&
                 said.contains("No such file or directory"),
             qPrintable(said));
    QCOMPARE(window.Session().State(), kv::TGameState::Running);
  }

  void savingWithNoGameSaysSoAndWritesNothing() {
    TfrmMain window(Self(), {WritePackage(Dir, "nogame.kvj")}, Boxes.get());
    window.ExecuteCommand(nullptr, 14, Integer(9)); // no such picture: the game is gone
    QCOMPARE(window.Session().Board(), nullptr);
    bool asked = false;
    window.AskSaveFileName = [&](const std::string&, const std::string&, const std::string&) {
      asked = true;
      return Dir.file("nogame.jsw");
    };
    window.ExecuteCommand(nullptr, 2, kv::TScriptParameter());
    QVERIFY(!asked);
    QCOMPARE(QString::fromStdString(Boxes->Shown.back().Text),
             QString("Unable to save game. No game is being played."));
    QVERIFY(!std::filesystem::exists(Dir.file("nogame.jsw")));
  }

  // Sound, ghost picture, edges only and the preview as the player left them, at the next start.
  void theViewChoicesHoldOnTheNextStart() {
    const std::string package = WritePackage(Dir, "view.kvj");
    kv::TKVConfig store("ViewTest");
    {
      TfrmMain window(Self(), {package}, Boxes.get());
      window.SetViewStore(&store);
      const bool sound = window.Session().SoundOn();
      window.ExecuteCommand(nullptr, 8, kv::TScriptParameter());  // sound
      window.ExecuteCommand(nullptr, 28, kv::TScriptParameter()); // edges only
      QCOMPARE(window.Session().SoundOn(), !sound);
      QCOMPARE(store.GetInteger("SoundOn", -1), sound ? 0 : 1);
      QCOMPARE(store.GetInteger("EdgesOnly", -1), 1);
      window.Flow().SetQuitConfirmed(true);
    }
    TfrmMain again(Self(), {package}, Boxes.get());
    again.SetViewStore(&store);
    QCOMPARE(again.Session().SoundOn(), store.GetInteger("SoundOn", -1) == 1);
    QVERIFY(again.Session().EdgesOnly());
    // A new game takes them too.
    again.ExecuteCommand(nullptr, 15, kv::TScriptParameter());
    QVERIFY(again.Session().EdgesOnly());
    QCOMPARE(again.Session().SoundOn(), store.GetInteger("SoundOn", -1) == 1);
    QAction* sound = FindEntry(again.menuBar()->actions(), "&Sound");
    QCOMPARE(sound->isChecked(), again.Session().SoundOn());
    again.Flow().SetQuitConfirmed(true);
  }

  void aHelpFileOrLinkThatCannotBeOpenedSaysSo() {
    TfrmMain window(Self(), {WritePackage(Dir, "links.kvj")}, Boxes.get());
    std::vector<QUrl> opened;
    window.OpenUrl = [&](const QUrl& url) {
      opened.push_back(url);
      return false; // no browser, no viewer
    };
    window.ExecuteCommand(nullptr, 4, kv::TScriptParameter()); // no help file beside the program
    QVERIFY(opened.empty());
    QVERIFY(QString::fromStdString(Boxes->Shown.back().Text).endsWith("jigsawhelp.hlp cannot be opened."));
    kv::TScriptParameter link;
    link.AddText("https://example.org/");
    window.ExecuteCommand(nullptr, 11, link);
    QCOMPARE(opened.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(Boxes->Shown.back().Text),
             QString("https://example.org/ cannot be opened."));
  }

  void aSavedGameThatCannotBeReadSaysErrorAndTheGameGoesOn() {
    TfrmMain window(Self(), {WritePackage(Dir, "unread.kvj")}, Boxes.get());
    const kv::TKVJigsawBoard* before = window.Session().Board();
    const std::string version7 = Dir.file("version7.jsw");
    kvtest::WriteFileBytes(version7, {0xAF, 0x39, 0x01, 0x00, 7, 0, 0, 0});
    const std::string cut = Dir.file("cut.jsw");
    kvtest::WriteFileBytes(cut, {0xAF, 0x39, 0x01});
    const std::string text = Dir.file("text.jsw");
    kvtest::WriteFileBytes(text, {'n', 'o', 't', ' ', 'a', ' ', 'g', 'a', 'm', 'e'});
    const std::string pipe = Dir.file("pipe.jsw");
    QCOMPARE(mkfifo(pipe.c_str(), 0600), 0);
    const std::string folder = Dir.file("folder.jsw");
    std::filesystem::create_directory(folder);
    for (const std::string& jsw : {text, cut, version7, std::string("/dev/zero"), pipe, folder}) {
      Boxes->Shown.clear();
      window.AskOpenFileName = [&](const std::string&, const std::string&) { return jsw; };
      window.ExecuteCommand(nullptr, 1, kv::TScriptParameter());
      QVERIFY2(Boxes->Shown.size() == 1 && Boxes->Shown.back().Text == "Error", jsw.c_str());
      QCOMPARE(window.Session().Board(), before);
      QCOMPARE(window.Session().State(), kv::TGameState::Running);
    }
  }

  void aGameMadeFromAPictureCarriesThePackageAndPlaysThatPicture() {
    const std::string package = WritePackage(Dir, "export.kvj");
    const std::string picture = Dir.file("mine.jpg");
    kvtest::WriteFileBytes(picture, kvtest::MakePhotoJpeg(320, 240, 9, 85));
    const std::string game = Dir.file("mygame");
    // The player writes packages with the piece library beside its program, here the test program.
    const std::filesystem::path library = std::filesystem::path(Self()).parent_path() / "all.kvjc";
    std::error_code ignored;
    std::filesystem::copy_file(std::filesystem::path(JIGSAW_BINARY_DIR) / "all.kvjc", library,
                               std::filesystem::copy_options::overwrite_existing, ignored);
    {
      TfrmMain window(Self(), {package}, Boxes.get());
      std::vector<std::string> titles;
      window.AskOpenFileName = [&](const std::string& title, const std::string&) {
        titles.push_back(title);
        return picture;
      };
      window.AskSaveFileName = [&](const std::string& title, const std::string&, const std::string&) {
        titles.push_back(title);
        return game;
      };
      window.ExecuteCommand(nullptr, 22, kv::TScriptParameter());
      QCOMPARE(titles, (std::vector<std::string>{"Open Image", "Save Executable Output As"}));
      QCOMPARE(QString::fromStdString(Boxes->Shown.back().Text),
               QString::fromStdString(game + " is created successfuly."));
      window.Flow().SetQuitConfirmed(true);
    }
    // The new game starts from its own file with the chosen picture as its only playable one.
    TfrmMain window(game, {}, Boxes.get());
    QVERIFY(window.Locator().FromOwnFile);
    QCOMPARE(window.Locator().PlayablePictures.size(), std::size_t{1});
    QCOMPARE(window.Session().Picture().Width() > 0, true);
    QCOMPARE(QString::fromStdString(window.Project()->Title), QString("Commands"));
  }

  void theAboutBoxPausesTheGameAndClosesWithEscape() {
    TfrmMain window(Self(), {WritePackage(Dir, "about.kvj")}, Boxes.get());
    QString caption;
    // Not paused until the box saw it paused.
    kv::TGameState stateInside = kv::TGameState::Stopped;
    QTimer::singleShot(0, [&] {
      QWidget* box = QApplication::activeModalWidget();
      QVERIFY(box);
      caption = box->windowTitle();
      stateInside = window.Session().State();
      QTest::keyClick(box, Qt::Key_Escape);
    });
    window.PopupMenu()->actions().back()->trigger(); // "About Tessarix"
    QCOMPARE(caption, QString("About Commands"));
    QCOMPARE(stateInside, kv::TGameState::Paused);
    QCOMPARE(window.Session().State(), kv::TGameState::Running);
  }

  void theBoardFillsThePlayingAreaUnderTheMenusAndTheBannerStrip_data() {
    QTest::addColumn<int>("banners");
    QTest::newRow("no banners") << 0;
    QTest::newRow("two banners") << 2;
  }
  void theBoardFillsThePlayingAreaUnderTheMenusAndTheBannerStrip() {
    QFETCH(int, banners);
    std::unique_ptr<kv::TJigsawProject2> project = kvapptest::NewProject("Banners");
    project->AddPicture(0, 1).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(400, 300, 3, 85));
    AddMenu(project->Menus, 0, "&Game", 15);
    for (int i = 0; i < banners; ++i) {
      kv::TBanner& banner = project->Banners.Add(project->Random());
      banner.Data = kv::TMemoryStream(kvtest::MakeJpeg(200, 40 + 10 * i));
      banner.Interval = 2000;
      banner.URL = "https://example.org/" + std::to_string(i);
      banner.SetEventID(24); // pause
    }
    TfrmMain window(Self(), {kvapptest::SavePackage(*project, Dir, "banners.kvj")}, Boxes.get());
    QVERIFY(window.isVisible());
    kv::TBannerPanel& strip = *window.BannerPanel();
    QCOMPARE(strip.isVisible(), banners > 0);
    const kv::TKVJigsawBoard& board = *window.Session().Board();
    // The board, the engine's buffer and the widget on the screen have one size.
    QCOMPARE(board.Width(), window.PlayingArea()->width());
    QCOMPARE(board.Height(), window.PlayingArea()->height());
    QCOMPARE(window.PlayingArea()->ClientHeight(), window.PlayingArea()->height());
    if (banners == 0) return;
    // The strip is as high as the highest banner and 4 more; the first banner shows, centred.
    QCOMPARE(strip.height(), 54);
    QCOMPARE(window.PlayingArea()->y(), strip.y() + strip.height());
    QLabel* picture = strip.Picture();
    QCOMPARE(picture->size(), QSize(200, 40));
    QCOMPARE(picture->pos(), QPoint((strip.width() - 200) / 2, 7));
    QCOMPARE(picture->toolTip(), QString("Visit https://example.org/0"));
    QCOMPARE(strip.Switcher()->Timer().Interval(), 2000);
    // A click runs the banner's action.
    QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(window.Session().State(), kv::TGameState::Paused);
    window.Flow().SetQuitConfirmed(true);
  }

  void withoutPopupRecordsThePlayingAreaHasNoMenu() {
    TfrmMain window(Self(), {WritePackage(Dir, "nopopup.kvj", false)}, Boxes.get());
    QCOMPARE(window.PopupMenu()->actions().size(), 2); // the separator and "About Tessarix" only
    QVERIFY(window.Session().Engine().PopupMenu() == nullptr);
  }

private:
  kvtest::TempDir Dir, Home;
  std::unique_ptr<kv::TScriptedMessageBoxes> Boxes;
  std::unique_ptr<kvapptest::TStateFolder> State;
};

QTEST_MAIN(CommandsTest)
#include "CommandsTest.moc"
