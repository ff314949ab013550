// The player's window as a person starts it: from a package named on the command line (kept, or deleted with
// "-T"), from nothing at all, from a damaged file; the first game's playing area drawn on the screen, the
// clock in the status bar, and the close of a running game asking first.
#include "AppFixtures.h"

#include "app/uBannerPanel.h"
#include "app/uQtPaintBox.h"
#include "app/ufrmMain.h"
#include "data/uExecData.h"
#include "data/uExecDataWriter.h"
#include "data/uImageInfo.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uPictureConverters.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "platform/uHeadlessPlatform.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <set>

using kv::TfrmMain;
using kvapptest::Self;

namespace {

// A package file of one photograph, played in sequence at the given piece range.
std::string WritePackage(const kvtest::TempDir& dir, const std::string& name, int32_t minPieces,
                         int32_t maxPieces) {
  std::unique_ptr<kv::TJigsawProject2> project = kvapptest::NewProject("Test Jigsaw");
  project->AddPicture(0, 1).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(640, 480, 7, 85));
  project->PictureChoiceMode = 1;
  project->NumPiecesMin = minPieces;
  project->NumPiecesMax = maxPieces;
  if (kv::TPictureSettings* settings = project->FindPictureSettings(1)) {
    settings->NumPiecesMin = minPieces;
    settings->NumPiecesMax = maxPieces;
  }
  return kvapptest::SavePackage(*project, dir, name);
}

// Distinct colours in a picture: a drawn game has hundreds, a blank window a handful.
std::size_t ColourCount(const QImage& image) {
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); y += 3)
    for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
  return colours.size();
}

} // namespace

class PlayerTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    Boxes = std::make_unique<kv::TScriptedMessageBoxes>();
    State = std::make_unique<kvapptest::TStateFolder>();
    // The high-score file goes to the documents folder, kept out of the user's.
    qputenv("HOME", QByteArray::fromStdString(Home.path().string()));
  }

  void aPackageNamedOnTheCommandLineIsPlayedAndKept() {
    const std::string file = WritePackage(Dir, "game.kvj", 25, 50);
    TfrmMain window(Self(), {file}, Boxes.get());
    QVERIFY(!window.TerminateRequested());
    QVERIFY(window.Project() != nullptr);
    QVERIFY(window.Session().Board() != nullptr);
    QVERIFY(window.isVisible());
    QVERIFY(std::filesystem::exists(file));
    // The first frame reaches the screen: pieces on the playing area.
    QTRY_VERIFY_WITH_TIMEOUT(window.PlayingArea()->FramesPresented() > 0, 5000);
    const QImage shown = window.PlayingArea()->grab().toImage();
    QVERIFY2(ColourCount(shown) > 200, "the playing area shows no pieces");
    QCOMPARE(window.Session().Board()->PieceCount(),
             window.Session().Board()->Cols() * window.Session().Board()->Rows());
    QVERIFY(window.Session().Board()->PieceCount() >= 25);
    QVERIFY(Boxes->Shown.empty());
  }

  void theClockRunsInTheThirdStatusPanel() {
    const std::string file = WritePackage(Dir, "clock.kvj", 0, 24);
    TfrmMain window(Self(), {file}, Boxes.get());
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(window.StatusText(2)), QString("00:00:01"), 4000);
    QCOMPARE(window.StatusText(0), std::string());
  }

  void aTemporaryPackageIsDeletedOnlyWithCapitalT() {
    const std::string kept = WritePackage(Dir, "kept.kvj", 0, 24);
    {
      TfrmMain window(Self(), {kept, "-t"}, Boxes.get());
      QVERIFY(window.Project() != nullptr);
    }
    QVERIFY(std::filesystem::exists(kept));
    {
      TfrmMain window(Self(), {kept, "-T"}, Boxes.get());
      QVERIFY(window.Project() != nullptr);
    }
    QVERIFY(!std::filesystem::exists(kept));
  }

  void aBarePlayerEndsSilently() {
    TfrmMain window(Self(), {}, Boxes.get());
    QVERIFY(window.TerminateRequested());
    QVERIFY(window.Project() == nullptr);
    QVERIFY(Boxes->Shown.empty());
  }

  void aDamagedPackageSaysSo() {
    const std::string file = Dir.file("broken.kvj");
    std::vector<uint8_t> bytes = kvtest::ReadFileBytes(WritePackage(Dir, "whole.kvj", 0, 24));
    bytes.resize(bytes.size() / 2);
    kvtest::WriteFileBytes(file, bytes);
    TfrmMain window(Self(), {file}, Boxes.get());
    QVERIFY(window.Project() == nullptr);
    // Said, and the empty window stays for the player to close: no process lingers without a window.
    QVERIFY(!window.TerminateRequested());
    QVERIFY(window.isVisible());
    QCOMPARE(Boxes->Shown.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(Boxes->Shown.front().Text),
             QString("Project doesn't contain valid data."));
  }

  // The package's banners are measured as it is read: the player hands the picture codecs to its model.
  void aPackageWithABannerIsRead() {
    std::unique_ptr<kv::TJigsawProject2> project = kvapptest::NewProject("Banner Jigsaw");
    project->AddPicture(0, 1).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(640, 480, 7, 85));
    kv::TBanner& banner = project->Banners.Add(project->Random());
    banner.Data = kv::TMemoryStream(kvtest::MakeJpeg(120, 30));
    banner.ComputeSize(kv::ReadPictureSize);
    project->BannerContainers.Add(project->Random()).AddBanner(&banner);
    const std::string file = kvapptest::SavePackage(*project, Dir, "banner.kvj");
    TfrmMain window(Self(), {file}, Boxes.get());
    QVERIFY(window.Project() != nullptr);
    QVERIFY(Boxes->Shown.empty());
    QCOMPARE(window.Project()->Banners.Count(), 1);
    QCOMPARE(window.Project()->Banners.Items(0)->Width(), 120);
  }

  // What the package reader goes on from (an object of a class the player does not know in the published
  // properties) reaches the player in a box, not only the reader's record.
  void theReadersReportsAreSaid() {
    const std::string file = WritePackage(Dir, "reports.kvj", 0, 24);
    TfrmMain window(Self(), {file}, Boxes.get());
    QVERIFY(window.Project() != nullptr);
    const auto& report = window.Project()->Services().ErrorReporter;
    QVERIFY(report != nullptr);
    report("Cannot create object TNoSuchClass");
    QCOMPARE(QString::fromStdString(Boxes->Shown.back().Text), QString("Cannot create object TNoSuchClass"));
  }

  // A banner whose picture claims a huge height does not push the board off the screen.
  void aTallBannerIsBoundedByTheScreen() {
    std::unique_ptr<kv::TJigsawProject2> project = kvapptest::NewProject("Tall Banner");
    project->AddPicture(0, 1).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(640, 480, 7, 85));
    kv::TBanner& banner = project->Banners.Add(project->Random());
    banner.Data = kv::TMemoryStream(kvtest::MakeJpeg(40, 16000));
    banner.ComputeSize(kv::ReadPictureSize);
    project->BannerContainers.Add(project->Random()).AddBanner(&banner);
    const std::string file = kvapptest::SavePackage(*project, Dir, "tall.kvj");
    TfrmMain window(Self(), {file}, Boxes.get());
    QVERIFY(window.BannerPanel()->isVisible());
    const int screenHeight = window.screen()->availableGeometry().height();
    QVERIFY(window.BannerPanel()->height() <= std::max(screenHeight / 4, 74));
    QVERIFY(window.height() <= screenHeight);
    QVERIFY(window.PlayingArea()->height() > screenHeight / 2);
  }

  // Piece shapes that the reader takes as they are but that do not inflate: the player says so and ends.
  void damagedPieceShapesSaySo() {
    std::unique_ptr<kv::TJigsawProject2> project = kvapptest::NewProject("Damaged Shapes");
    kv::TExecDataWriter::SetPictureSteps(nullptr); // the shapes are written as given
    project->AddPicture(0, 1).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(640, 480, 7, 85));
    std::vector<uint8_t> shapes(300);
    for (std::size_t i = 0; i < shapes.size(); ++i) shapes[i] = static_cast<uint8_t>(i * 37 + 11);
    shapes[0] = 0x78; // a zlib header, and then nonsense
    shapes[1] = 0x9C;
    project->PieceShapeData = kv::TMemoryStream(shapes);
    const std::string file = kvapptest::SavePackage(*project, Dir, "shapes.kvj");
    TfrmMain window(Self(), {file}, Boxes.get());
    QVERIFY(window.TerminateRequested());
    QCOMPARE(Boxes->Shown.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(Boxes->Shown.front().Text),
             QString("Project doesn't contain valid data."));
  }

  // A package without piece shapes, opened by a player that has no library of its own to cut with.
  void aPackageWithoutPiecesSaysSo() {
    kv::TExecDataWriter::SetPictureSteps(nullptr);
    kv::TJigsawProject2 project;
    project.Title = "No Pieces";
    project.AddPicture(0, 1).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(640, 480, 7, 85));
    const std::string file = kvapptest::SavePackage(project, Dir, "nopieces.kvj");
    TfrmMain window(Self(), {file}, Boxes.get());
    QVERIFY(window.TerminateRequested());
    QCOMPARE(Boxes->Shown.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(Boxes->Shown.front().Text),
             QString("Project doesn't contain valid data."));
  }

  void closingARunningGameAsksFirstAndTheAnswerDecides() {
    const std::string file = WritePackage(Dir, "close.kvj", 0, 24);
    TfrmMain window(Self(), {file}, Boxes.get());
    QVERIFY(window.Session().State() == kv::TGameState::Running);
    // The skinned question opens in the playing area; the window stays.
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());
    QVERIFY(window.Session().QuestionBox() != nullptr);
    QVERIFY(window.Session().State() == kv::TGameState::Running);
    window.Flow().SetQuitConfirmed(true);
    QVERIFY(window.close());
  }

  // Start actions that hide the window and start no game leave the window shown, not a process without one.
  void startActionsThatStartNoGameLeaveTheWindowShown() {
    std::unique_ptr<kv::TJigsawProject2> project = kvapptest::NewProject("Quiet Start");
    project->AddPicture(0, 1).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(640, 480, 7, 85));
    project->StartActions.AddScript().ID = 24; // deselect all: runs, starts nothing
    const std::string file = kvapptest::SavePackage(*project, Dir, "quiet.kvj");
    TfrmMain window(Self(), {file}, Boxes.get());
    QVERIFY(!window.TerminateRequested());
    QVERIFY(window.isVisible());
  }

  // The game is cut from a copy that fits the playing area; print takes the picture as the package has it.
  void printTakesThePictureAtItsFullSize() {
    std::unique_ptr<kv::TJigsawProject2> project = kvapptest::NewProject("Large Picture");
    project->AddPicture(0, 1).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(2400, 1800, 7, 85));
    const std::string file = kvapptest::SavePackage(*project, Dir, "large.kvj");
    TfrmMain window(Self(), {file}, Boxes.get());
    QVERIFY(window.Session().State() == kv::TGameState::Running);
    QVERIFY(window.PictureBitmap().Width() < 2400);
    const kv::TBitmap32 printed = window.PrintablePicture();
    QCOMPARE(printed.Width(), 2400);
    QCOMPARE(printed.Height(), 1800);
  }

  void escapeClosesThroughTheQuitQuestion() {
    const std::string file = WritePackage(Dir, "escape.kvj", 0, 24);
    TfrmMain window(Self(), {file}, Boxes.get());
    QVERIFY(window.Session().State() == kv::TGameState::Running);
    // A click on the board gives it the keys; Escape there asks to close.
    const QPoint corner(window.PlayingArea()->width() - 5, window.PlayingArea()->height() - 5);
    QTest::mouseClick(window.PlayingArea(), Qt::LeftButton, Qt::NoModifier, corner);
    QTest::keyClick(window.PlayingArea(), Qt::Key_Escape);
    QTRY_VERIFY(window.Session().QuestionBox() != nullptr);
    QVERIFY(window.isVisible());
  }

private:
  kvtest::TempDir Dir, Home;
  std::unique_ptr<kv::TScriptedMessageBoxes> Boxes;
  std::unique_ptr<kvapptest::TStateFolder> State;
};

QTEST_MAIN(PlayerTest)
#include "PlayerTest.moc"
