// The real window on a real X display (Xvfb): pointer input comes from the X server (XTest), not from Qt's
// test events, and the picture checked is what the X server shows. A piece is dragged by a hundred pixels and
// lands there; the screen then shows a game, in each of the three menu-bar looks. The pictures are kept in
// the build folder (tests/screens) for a person to look at.
#include "AppFixtures.h"

#include "app/uQtPaintBox.h"
#include "app/ufrmMain.h"
#include "data/uExecData.h"
#include "gui/uKVGUIForm.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "platform/uHeadlessPlatform.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <filesystem>
#include <set>

using kv::TfrmMain;

namespace {

std::string WritePackage(const kvtest::TempDir& dir, int16_t skinMode) {
  kv::InstallPackagePictureSteps((std::filesystem::path(JIGSAW_BINARY_DIR) / "all.kvjc").string());
  kv::TJigsawProject2 project;
  project.Title = "Screen";
  project.AddPicture(0, 1).Data = kv::TMemoryStream(kvtest::MakePhotoJpeg(640, 480, 5, 85));
  project.PictureChoiceMode = 1;
  project.SkinMode = skinMode;
  project.NoRotation = 1;
  if (kv::TPictureSettings* settings = project.FindPictureSettings(1)) {
    settings->NumPiecesMin = 25;
    settings->NumPiecesMax = 50;
  }
  kv::TMemoryStream package;
  project.SaveToStream(package);
  const std::string file = dir.file("screen" + std::to_string(skinMode) + ".kvj");
  package.SaveToFile(file);
  return file;
}

std::size_t ColourCount(const QImage& image) {
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); y += 3)
    for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
  return colours.size();
}

// The X server's own pointer: moves and button 1, as a mouse gives them.
class TXPointer {
public:
  TXPointer() : FDisplay(XOpenDisplay(nullptr)) {}
  ~TXPointer() {
    if (FDisplay) XCloseDisplay(FDisplay);
  }
  bool Ready() const { return FDisplay != nullptr; }
  void MoveTo(QPoint p) {
    XTestFakeMotionEvent(FDisplay, -1, p.x(), p.y(), CurrentTime);
    Flush();
  }
  void Button(bool down) {
    XTestFakeButtonEvent(FDisplay, 1, down ? True : False, CurrentTime);
    Flush();
  }

private:
  // Each event reaches the window before the next one is sent, as a hand moves a mouse.
  void Flush() {
    XSync(FDisplay, False);
    QTest::qWait(30);
  }
  Display* FDisplay;
};

} // namespace

class ScreenTest : public QObject {
  Q_OBJECT

private slots:
  void aPieceDraggedWithTheRealPointerLandsWhereItWasDropped_data() {
    QTest::addColumn<int>("skinMode");
    QTest::addColumn<QString>("look");
    QTest::newRow("Default") << 15 << "Default";
    QTest::newRow("Sentimox") << 20 << "Sentimox";
    QTest::newRow("Stripes") << 21 << "Stripes";
  }

  void aPieceDraggedWithTheRealPointerLandsWhereItWasDropped() {
    QFETCH(int, skinMode);
    QFETCH(QString, look);
    if (QGuiApplication::platformName() != "xcb") QSKIP("needs an X display (run under xvfb-run)");
    TXPointer pointer;
    QVERIFY(pointer.Ready());
    kv::TScriptedMessageBoxes boxes;
    const kvapptest::TStateFolder state;
    TfrmMain window(QCoreApplication::applicationFilePath().toStdString(),
                    {WritePackage(Dir, static_cast<int16_t>(skinMode))}, &boxes);
    QCOMPARE(QString::fromStdString(window.ToolbarTheme()), look);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window.PlayingArea()->FramesPresented() > 0, 10000);
    // The window in its place on the screen before the pointer goes there.
    QPoint placed;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          const QPoint now = window.PlayingArea()->mapToGlobal(QPoint(0, 0));
          const bool still = now == placed;
          placed = now;
          QTest::qWait(100);
          return still;
        }(),
        10000);

    kv::TKVJigsawBoard& board = *window.Session().Board();
    // The preview window lies over the board: the piece under it would not be the one gripped.
    if (kv::TKVGUIForm* preview = window.Session().PreviewWindow()) preview->SetVisible(false);
    const kv::TZPos top = board.ZOrder().front();
    const kv::TKVBoardPiece before = board.Piece(top.Row, top.Column);
    const kv::TRect place = before.DisplayRect();
    const kv::TRect boardRect = board.GetScreenRect();
    // The middle of the topmost piece, kept clear of the screen's edges so that the drag fits.
    const QPoint grip = window.PlayingArea()->mapToGlobal(QPoint(
        boardRect.Left + (place.Left + place.Right) / 2, boardRect.Top + (place.Top + place.Bottom) / 2));
    const int dx = grip.x() > 400 ? -100 : 100, dy = grip.y() > 300 ? -60 : 60;
    pointer.MoveTo(grip);
    pointer.Button(true);
    for (int step = 1; step <= 10; ++step) pointer.MoveTo(grip + QPoint(dx * step / 10, dy * step / 10));
    pointer.Button(false);
    QTRY_VERIFY_WITH_TIMEOUT(board.Piece(top.Row, top.Column).X != before.X, 10000);
    const kv::TKVBoardPiece& after = board.Piece(top.Row, top.Column);
    // Where it was dropped, unless it snapped to a neighbour within the magnet distance.
    QVERIFY2(std::abs(after.X - (before.X + dx)) <= 12 && std::abs(after.Y - (before.Y + dy)) <= 12,
             qPrintable(
                 QString("moved to %1,%2 from %3,%4").arg(after.X).arg(after.Y).arg(before.X).arg(before.Y)));

    // What the X server shows is a game: pieces, not an empty window.
    QTest::qWait(100);
    const QImage shown = window.screen()->grabWindow(window.winId()).toImage();
    QVERIFY2(ColourCount(shown) > 300, "the window shows no game");
    const std::filesystem::path folder = std::filesystem::path(JIGSAW_BINARY_DIR) / "tests" / "screens";
    std::filesystem::create_directories(folder);
    shown.save(QString::fromStdString((folder / ("window-" + look.toStdString() + ".png")).string()));
    window.Flow().SetQuitConfirmed(true);
  }

private:
  kvtest::TempDir Dir;
};

QTEST_MAIN(ScreenTest)
#include "ScreenTest.moc"
