// The player's dialogs as the player meets them: captions, sizes, texts, the value each way of closing
// returns, the difficulty preselection, the high-score list, the name entry, the progress window, the skin
// chooser, and the picture printed fitted to the page.
#include "app/UfmBestTopTen.h"
#include "app/UfmHighScore.h"
#include "app/uFormatClock.h"
#include "app/uModalDialog.h"
#include "app/ufrmDifficulty.h"
#include "app/ufrmNextBitmap.h"
#include "app/ufrmPlayAgain.h"
#include "app/ufrmProgressInfo.h"
#include "app/ufrmSelectSkin.h"
#include "app/ufrmWin.h"
#include "data/uExecData.h"
#include "data/uHighScore.h"
#include "gui/uBitmap32.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>

using namespace kv;

Q_DECLARE_METATYPE(kv::TRect)

namespace {

const QColor Panel(0xE8, 0xE8, 0xE8);
const QColor Strip(0xCC, 0xCC, 0xCC);

// Runs the dialog modally; action runs inside the modal loop. A dialog the action leaves open is ended with
// -1 after five seconds, so that a fault fails the test instead of hanging it.
int RunModal(QDialog& dialog, const std::function<void()>& action) {
  QTimer::singleShot(0, &dialog, action);
  QTimer::singleShot(5000, &dialog, [&dialog] { dialog.done(-1); });
  return dialog.exec();
}

QPushButton* Button(QWidget& dialog, const char* name) {
  auto* button = dialog.findChild<QPushButton*>(name);
  if (!button) qFatal("no button %s", name);
  return button;
}

QString LabelText(QWidget& dialog, const char* name) {
  auto* label = dialog.findChild<QLabel*>(name);
  return label ? label->text() : QString("<no label %1>").arg(name);
}

// Every dialog by its class name, empty package where one is needed.
std::unique_ptr<QDialog> MakeDialog(const QString& kind) {
  static const TJigsawProject2 emptyProject;
  if (kind == "TfrmDifficulty") return std::make_unique<TfrmDifficulty>();
  if (kind == "TfrmWin") return std::make_unique<TfrmWin>();
  if (kind == "TfrmNextBitmap") return std::make_unique<TfrmNextBitmap>();
  if (kind == "TfrmPlayAgain") return std::make_unique<TfrmPlayAgain>();
  if (kind == "TfmBestTopTen") return std::make_unique<TfmBestTopTen>();
  if (kind == "TfmHighScore") return std::make_unique<TfmHighScore>();
  if (kind == "TfrmSelectSkin") return std::make_unique<TfrmSelectSkin>(emptyProject, 0);
  qFatal("unknown dialog");
}

// A solid-coloured BMP file image, as a skin's stream holds it.
TMemoryStream SkinBmp(int width, int height, TColor32 colour) {
  TBitmap32 bitmap(width, height);
  bitmap.Clear(colour);
  TMemoryStream stream;
  bitmap.SaveToStream(stream);
  return stream;
}

// A high-score file image of one level's entries in the given order; time -1 marks an empty position.
kv::TMemoryStream HighScoreImage(uint16_t sectionTag, const std::vector<THighScoreData>& entries) {
  int32_t size = 4;
  for (const THighScoreData& entry : entries) size += 9 + static_cast<int32_t>(entry.Name.size());
  kvtest::Bytes bytes;
  bytes.chars("HGSC").u16(sectionTag).i32(size).i32(static_cast<int32_t>(entries.size()));
  for (const THighScoreData& entry : entries)
    bytes.i32(static_cast<int32_t>(entry.Name.size())).chars(entry.Name).i32(entry.Time).u8(entry.Level);
  bytes.u16(4320);
  return bytes.stream();
}

QStringList Column(QTreeWidget& list, int column) {
  QStringList texts;
  for (int i = 0; i < list.topLevelItemCount(); ++i) texts << list.topLevelItem(i)->text(column);
  return texts;
}

} // namespace

class DialogsTest : public QObject {
  Q_OBJECT

private slots:
  // ---- what every modal dialog shows and returns

  void captionSizeFontAndPanel_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("verdana");
    QTest::addColumn<QColor>("panel");
    QTest::newRow("difficulty") << "TfrmDifficulty"
                                << "Change Difficulty" << QSize(195, 87) << true << QColor(Qt::white);
    QTest::newRow("win") << "TfrmWin"
                         << "You Win!" << QSize(384, 148) << true << Panel;
    QTest::newRow("next") << "TfrmNextBitmap"
                          << "Next Bitmap" << QSize(414, 148) << true << Panel;
    QTest::newRow("again") << "TfrmPlayAgain"
                           << "Play" << QSize(392, 153) << true << Panel;
    QTest::newRow("name") << "TfmBestTopTen"
                          << "Best Top Ten" << QSize(402, 59) << true << Panel;
    QTest::newRow("scores") << "TfmHighScore"
                            << "High Score" << QSize(425, 283) << true << Panel;
    // The skin chooser keeps the platform's dialog font and colours.
    QTest::newRow("skin") << "TfrmSelectSkin"
                          << "Select Skin" << QSize(403, 197) << false << QColor();
  }

  void captionSizeFontAndPanel() {
    QFETCH(QString, kind);
    QFETCH(QString, caption);
    QFETCH(QSize, size);
    QFETCH(bool, verdana);
    QFETCH(QColor, panel);
    const auto dialog = MakeDialog(kind);
    QCOMPARE(dialog->windowTitle(), caption);
    QCOMPARE(dialog->size(), size);
    QCOMPARE(dialog->minimumSize(), size);
    QCOMPARE(dialog->maximumSize(), size);
    QCOMPARE(dialog->font().family() == "Verdana" && dialog->font().pointSize() == 8, verdana);
    if (panel.isValid()) {
      QVERIFY(dialog->autoFillBackground());
      QCOMPARE(dialog->palette().color(QPalette::Window), panel);
    }
    // Every control lies inside the client area.
    for (const QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (!child->isWindow())
        QVERIFY2(dialog->rect().contains(child->geometry()), qPrintable(child->objectName()));
  }

  void buttonsAndCloseBoxGiveTheirResults_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("button"); // empty: the close box
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("result");
    QTest::newRow("difficulty ok") << "TfrmDifficulty"
                                   << "btnOk"
                                   << "Ok" << mrOk;
    QTest::newRow("difficulty cancel") << "TfrmDifficulty"
                                       << "btnCancel"
                                       << "Cancel" << mrCancel;
    QTest::newRow("difficulty close") << "TfrmDifficulty"
                                      << ""
                                      << "" << mrCancel;
    QTest::newRow("win print") << "TfrmWin"
                               << "btnPrint"
                               << "Print" << mrOk;
    QTest::newRow("win ok") << "TfrmWin"
                            << "btnOK"
                            << "OK" << mrOk;
    QTest::newRow("win close") << "TfrmWin"
                               << ""
                               << "" << mrCancel;
    QTest::newRow("next next") << "TfrmNextBitmap"
                               << "btnNext"
                               << "Play Next Bitmap" << mrOk;
    QTest::newRow("next current") << "TfrmNextBitmap"
                                  << "btnCurrent"
                                  << "Play Current Bitmap" << mrYes;
    QTest::newRow("next stop") << "TfrmNextBitmap"
                               << "btnStop"
                               << "Stop" << mrCancel;
    QTest::newRow("next close") << "TfrmNextBitmap"
                                << ""
                                << "" << mrCancel;
    QTest::newRow("again again") << "TfrmPlayAgain"
                                 << "btnPlayAgain"
                                 << "Play Again" << mrOk;
    QTest::newRow("again stop") << "TfrmPlayAgain"
                                << "btnStop"
                                << "Stop" << mrCancel;
    QTest::newRow("again close") << "TfrmPlayAgain"
                                 << ""
                                 << "" << mrCancel;
    QTest::newRow("name ok") << "TfmBestTopTen"
                             << "btnOK"
                             << "OK" << mrOk;
    QTest::newRow("name close") << "TfmBestTopTen"
                                << ""
                                << "" << mrCancel;
    QTest::newRow("scores ok") << "TfmHighScore"
                               << "btnOK"
                               << "OK" << mrOk;
    QTest::newRow("scores close") << "TfmHighScore"
                                  << ""
                                  << "" << mrCancel;
    QTest::newRow("skin ok") << "TfrmSelectSkin"
                             << "btnOK"
                             << "&OK" << mrOk;
    QTest::newRow("skin cancel") << "TfrmSelectSkin"
                                 << "btnCancel"
                                 << "Cancel" << mrCancel;
    QTest::newRow("skin close") << "TfrmSelectSkin"
                                << ""
                                << "" << mrCancel;
  }

  void buttonsAndCloseBoxGiveTheirResults() {
    QFETCH(QString, kind);
    QFETCH(QString, button);
    QFETCH(QString, text);
    QFETCH(int, result);
    const auto dialog = MakeDialog(kind);
    QPushButton* pressed = button.isEmpty() ? nullptr : Button(*dialog, qPrintable(button));
    if (pressed) QCOMPARE(pressed->text(), text);
    const int returned = RunModal(*dialog, [&] {
      if (pressed) {
        QVERIFY(pressed->isVisible());
        QTest::mouseClick(pressed, Qt::LeftButton);
      } else {
        dialog->close();
      }
    });
    QCOMPARE(returned, result);
    QVERIFY(!dialog->isVisible());
  }

  void escapeGivesCancel() {
    TfrmNextBitmap dialog;
    QCOMPARE(RunModal(dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); }), mrCancel);
  }

  void dialogsOpenInTheMiddleOfTheScreen_data() {
    QTest::addColumn<QString>("kind");
    for (const char* kind :
         {"TfrmDifficulty", "TfrmWin", "TfrmNextBitmap", "TfrmPlayAgain", "TfmBestTopTen", "TfmHighScore"})
      QTest::newRow(kind) << kind;
  }

  void dialogsOpenInTheMiddleOfTheScreen() {
    QFETCH(QString, kind);
    const auto dialog = MakeDialog(kind);
    QPoint at;
    RunModal(*dialog, [&] {
      at = dialog->pos();
      dialog->accept();
    });
    const QRect screen = dialog->screen()->geometry();
    QCOMPARE(at, QPoint(screen.left() + (screen.width() - dialog->width()) / 2,
                        screen.top() + (screen.height() - dialog->height()) / 2));
  }

  // ---- difficulty

  void difficultyListsTheSixRanges() {
    TfrmDifficulty dialog;
    QCOMPARE(dialog.NumPiecesMin, 0);
    QCOMPARE(dialog.NumPiecesMax, 24);
    QCOMPARE(LabelText(dialog, "lblPieces"), QString("Change Your Pieces :"));
    auto* list = dialog.findChild<QComboBox*>("cbPieces");
    QVERIFY(list);
    QCOMPARE(list->width(), 180);
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    QCOMPARE(items, QStringList({"< 25 pieces", "25 - 50 pieces", "50 -100 pieces", "100 - 150 pieces",
                                 "150 - 200 pieces", "> 200 pieces"}));
  }

  void difficultyPreselectsTheRangeInForce_data() {
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("shown");
    QTest::newRow("0-24") << 0 << 24 << "< 25 pieces";
    QTest::newRow("25-50") << 25 << 50 << "25 - 50 pieces";
    QTest::newRow("51-100") << 51 << 100 << "50 -100 pieces";
    QTest::newRow("101-150") << 101 << 150 << "100 - 150 pieces";
    QTest::newRow("151-200") << 151 << 200 << "150 - 200 pieces";
    QTest::newRow("201-65535") << 201 << 65535 << "> 200 pieces";
    // No item of that range: above 100 the middle of the hard ranges, else the first.
    QTest::newRow("150-200 matches none, min > 100") << 150 << 200 << "100 - 150 pieces";
    QTest::newRow("101-400") << 101 << 400 << "100 - 150 pieces";
    QTest::newRow("100-150, min not > 100") << 100 << 150 << "< 25 pieces";
    QTest::newRow("50-100") << 50 << 100 << "< 25 pieces";
    QTest::newRow("-1,-1") << -1 << -1 << "< 25 pieces";
  }

  void difficultyPreselectsTheRangeInForce() {
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(QString, shown);
    TfrmDifficulty dialog;
    dialog.NumPiecesMin = min;
    dialog.NumPiecesMax = max;
    QString current;
    const int result = RunModal(dialog, [&] {
      current = dialog.findChild<QComboBox*>("cbPieces")->currentText();
      QTest::mouseClick(Button(dialog, "btnOk"), Qt::LeftButton);
    });
    QCOMPARE(current, shown);
    QCOMPARE(result, mrOk);
    // Without a pick the range goes out as it came, even one that matches no item.
    QCOMPARE(dialog.NumPiecesMin, min);
    QCOMPARE(dialog.NumPiecesMax, max);
  }

  void pickingAnItemSetsItsRange() {
    TfrmDifficulty dialog;
    dialog.NumPiecesMin = 151;
    dialog.NumPiecesMax = 200;
    const int result = RunModal(dialog, [&] {
      auto* list = dialog.findChild<QComboBox*>("cbPieces");
      list->setFocus();
      QTest::keyClick(list, Qt::Key_Down);
      QCOMPARE(list->currentText(), QString("> 200 pieces"));
      QTest::mouseClick(Button(dialog, "btnOk"), Qt::LeftButton);
    });
    QCOMPARE(result, mrOk);
    QCOMPARE(dialog.NumPiecesMin, 201);
    QCOMPARE(dialog.NumPiecesMax, 65535);

    // A pick then Cancel: the caller ignores the range on Cancel, the result says so.
    TfrmDifficulty cancelled;
    const int cancelResult = RunModal(cancelled, [&] {
      auto* list = cancelled.findChild<QComboBox*>("cbPieces");
      list->setFocus();
      QTest::keyClick(list, Qt::Key_Down);
      QTest::mouseClick(Button(cancelled, "btnCancel"), Qt::LeftButton);
    });
    QCOMPARE(cancelResult, mrCancel);
  }

  // ---- win and lose

  void winDialogShowsItsDesignTexts() {
    TfrmWin dialog;
    QCOMPARE(LabelText(dialog, "lblHeading"), QString("You Win"));
    QCOMPARE(LabelText(dialog, "lblTime"), QString("Time To Complete Puzzle :"));
    const QFont heading = dialog.findChild<QLabel*>("lblHeading")->font();
    QCOMPARE(heading.family(), QString("Times New Roman"));
    QCOMPARE(heading.pixelSize(), 48);
    QVERIFY(heading.bold());
    auto* clock = dialog.findChild<QLabel*>("pnlClock");
    QCOMPARE(clock->size(), QSize(100, 21));
    QCOMPARE(clock->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(clock->frameShadow(), QFrame::Sunken);
    QVERIFY(!dialog.PrintFlag());
  }

  void winTextsAreSetAndTheHeadingStaysCentred_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<int>("points");
    QTest::newRow("fair") << "Win"
                          << "You Win!" << 36;
    QTest::newRow("auto solve") << "Auto solve complete"
                                << "Auto solve complete" << 20;
    QTest::newRow("cheat") << "Win with cheat"
                           << "You win but you cheat 3X" << 16;
  }

  void winTextsAreSetAndTheHeadingStaysCentred() {
    QFETCH(QString, caption);
    QFETCH(QString, heading);
    QFETCH(int, points);
    TfrmWin dialog;
    dialog.SetCaption(caption.toStdString());
    dialog.SetHeading(heading.toStdString());
    dialog.SetHeadingSize(points);
    dialog.SetTimeLabel("Time to complete puzzle: ");
    dialog.SetClockText(FormatClock(3725));
    QCOMPARE(dialog.windowTitle(), caption);
    auto* label = dialog.findChild<QLabel*>("lblHeading");
    QCOMPARE(label->text(), heading);
    QCOMPARE(label->font().pointSize(), points);
    QCOMPARE(label->width(), label->sizeHint().width());
    QCOMPARE(label->x(), (dialog.width() - label->width()) / 2);
    QCOMPARE(LabelText(dialog, "lblTime"), QString("Time to complete puzzle: "));
    QCOMPARE(LabelText(dialog, "pnlClock"), QString("01:02:05"));
  }

  void printRaisesThePrintFlagAndOkDoesNot() {
    TfrmWin printed;
    QCOMPARE(RunModal(printed, [&] { QTest::mouseClick(Button(printed, "btnPrint"), Qt::LeftButton); }),
             mrOk);
    QVERIFY(printed.PrintFlag());
    TfrmWin plain;
    QCOMPARE(RunModal(plain, [&] { QTest::mouseClick(Button(plain, "btnOK"), Qt::LeftButton); }), mrOk);
    QVERIFY(!plain.PrintFlag());
    TfrmWin closed;
    QCOMPARE(RunModal(closed, [&] { closed.close(); }), mrCancel);
    QVERIFY(!closed.PrintFlag());
  }

  void theLoseDialogHasNoPrint() {
    TfrmWin dialog;
    dialog.SetCaption("Lose");
    dialog.SetHeading("You Lose!");
    dialog.SetTimeLabel("Your estimated time to solve:");
    dialog.SetClockText(FormatClock(600));
    dialog.SetPrintVisible(false);
    bool printShown = true, okShown = false;
    const int result = RunModal(dialog, [&] {
      printShown = Button(dialog, "btnPrint")->isVisible();
      okShown = Button(dialog, "btnOK")->isVisible();
      QTest::keyClick(&dialog, Qt::Key_Return);
    });
    QVERIFY(!printShown);
    QVERIFY(okShown);
    QCOMPARE(result, mrOk);
    QVERIFY(!dialog.PrintFlag());
    QCOMPARE(LabelText(dialog, "lblTime"), QString("Your estimated time to solve:"));
    QCOMPARE(LabelText(dialog, "pnlClock"), QString("00:10:00"));
  }

  // ---- next picture, play again

  void questionTextsAndStrips() {
    TfrmNextBitmap next;
    QCOMPARE(LabelText(next, "lblQuestion"), QString("Continue With Next Bitmap ?"));
    const QFont nextFont = next.findChild<QLabel*>("lblQuestion")->font();
    QCOMPARE(nextFont.family(), QString("Times New Roman"));
    QCOMPARE(nextFont.pixelSize(), 27);
    QVERIFY(nextFont.bold());
    TfrmPlayAgain again;
    QCOMPARE(LabelText(again, "lblQuestion"), QString("Play Again ?"));
    const QFont againFont = again.findChild<QLabel*>("lblQuestion")->font();
    QCOMPARE(againFont.family(), QString("Times New Roman"));
    QCOMPARE(againFont.pixelSize(), 48);
    QVERIFY(!againFont.bold());
    for (QDialog* dialog : std::initializer_list<QDialog*>{&next, &again}) {
      auto* strip = dialog->findChild<QWidget*>("pnlButtons");
      QVERIFY(strip);
      QCOMPARE(strip->palette().color(QPalette::Window), Strip);
      QCOMPARE(strip->geometry().bottom(), dialog->rect().bottom());
      for (QPushButton* button : dialog->findChildren<QPushButton*>())
        QCOMPARE(button->parentWidget(), strip);
    }
  }

  // ---- name entry

  void theNameIsTheTextHoweverTheEntryCloses_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("result");
    QTest::newRow("ok") << "Ann"
                        << "ok"
                        << "Ann" << mrOk;
    QTest::newRow("return") << "Bob Smith"
                            << "return"
                            << "Bob Smith" << mrOk;
    QTest::newRow("close box") << "Cleo"
                               << "close"
                               << "Cleo" << mrCancel;
    QTest::newRow("escape") << "Dan"
                            << "escape"
                            << "Dan" << mrCancel;
    QTest::newRow("empty") << ""
                           << "ok"
                           << "" << mrOk;
    QTest::newRow("cut at 30") << "abcdefghijklmnopqrstuvwxyz0123456789"
                               << "ok"
                               << "abcdefghijklmnopqrstuvwxyz0123" << mrOk;
    QTest::newRow("western letters") << QString::fromUtf8("Zoë Müller") << "ok"
                                     << QString::fromUtf8("Zoë Müller") << mrOk;
  }

  void theNameIsTheTextHoweverTheEntryCloses() {
    QFETCH(QString, typed);
    QFETCH(QString, how);
    QFETCH(QString, name);
    QFETCH(int, result);
    TfmBestTopTen dialog;
    QCOMPARE(LabelText(dialog, "lblName"), QString("Enter Your Name :"));
    auto* edit = dialog.findChild<QLineEdit*>("edName");
    QVERIFY(edit);
    const int returned = RunModal(dialog, [&] {
      edit->setFocus();
      // Key by key with the character's text, so that letters beyond ASCII arrive as typed.
      for (const QChar c : typed) QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), {});
      if (how == "ok") QTest::mouseClick(Button(dialog, "btnOK"), Qt::LeftButton);
      if (how == "return") QTest::keyClick(edit, Qt::Key_Return);
      if (how == "close") dialog.close();
      if (how == "escape") QTest::keyClick(edit, Qt::Key_Escape);
    });
    QCOMPARE(returned, result);
    // The name is a package text: single-byte Windows-1252.
    const std::string expected = name.toLatin1().toStdString();
    QCOMPARE(dialog.Name(), expected);
    QVERIFY(dialog.Name().size() <= 30);
  }

  // ---- high-score list

  void theListShowsFilledPositionsWithTheirNumbers() {
    THighScore table;
    auto image = HighScoreImage(
        4322, {{"Ann", 75, 1}, {"Bob", 3700, 1}, {"", -1, 1}, {"Dee", 4000, 1}, {"Eve", 360000, 1}});
    table.LoadFromStream(image);
    QCOMPARE(table.Count(1), 5);
    TfmHighScore dialog;
    dialog.FillList(table, 1);
    auto* list = dialog.findChild<QTreeWidget*>("lvHighScore");
    QVERIFY(list);
    QCOMPARE(Column(*list, 0), QStringList({"1", "2", "4", "5"}));
    QCOMPARE(Column(*list, 1), QStringList({"Ann", "Bob", "Dee", "Eve"}));
    QCOMPARE(Column(*list, 2), QStringList({"00:01:15", "01:01:40", "01:06:40", "100:00:00"}));
    QCOMPARE(list->topLevelItem(0)->textAlignment(2) & Qt::AlignHCenter, int(Qt::AlignHCenter));
    // Another level of the same table is empty; filling again replaces the lines.
    dialog.FillList(table, 0);
    QCOMPARE(list->topLevelItemCount(), 0);
  }

  void theListHasThreeColumnsAndTenPositionsAtMost() {
    THighScore table;
    for (int32_t i = 1; i <= 12; ++i) table.Add({"P" + std::to_string(i), i * 10, 2});
    table.Add({"Z\xFC", 5, 2}); // a Windows-1252 name
    TfmHighScore dialog;
    dialog.FillList(table, 2);
    auto* list = dialog.findChild<QTreeWidget*>("lvHighScore");
    QCOMPARE(list->columnCount(), 3);
    const QTreeWidgetItem* header = list->headerItem();
    QCOMPARE(QStringList({header->text(0), header->text(1), header->text(2)}),
             QStringList({"No", "Name", "Time"}));
    QCOMPARE(QList<int>({list->columnWidth(0), list->columnWidth(1), list->columnWidth(2)}),
             QList<int>({40, 250, 120}));
    QCOMPARE(list->topLevelItemCount(), 10);
    QCOMPARE(list->topLevelItem(0)->text(1), QString::fromUtf8("Zü"));
    QCOMPARE(list->topLevelItem(9)->text(0), QString("10"));
    QCOMPARE(list->topLevelItem(9)->text(1), QString("P9"));
  }

  void clockText_data() {
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << qint64{0} << "00:00:00";
    QTest::newRow("59") << qint64{59} << "00:00:59";
    QTest::newRow("3661") << qint64{3661} << "01:01:01";
    QTest::newRow("hours beyond two digits") << qint64{360061} << "100:01:01";
  }

  void clockText() {
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(FormatClock(seconds)), text);
  }

  // ---- progress window

  void progressWindowIsBorderlessModelessAndCentred() {
    TfrmProgressInfo window;
    QCOMPARE(window.windowTitle(), QString("Creating Pieces Data..."));
    QCOMPARE(window.size(), QSize(406, 57));
    QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(window.isWindow());
    QCOMPARE(window.palette().color(QPalette::Window), Panel);
    auto* label = window.findChild<QLabel*>("lblInfo");
    QCOMPARE(label->text(), QString("Building ..."));
    QVERIFY(label->font().bold());
    QVERIFY(label->alignment() & Qt::AlignHCenter);
    auto* bar = window.findChild<QProgressBar*>("pbProgress");
    QCOMPARE(bar->size(), QSize(385, 16));
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);

    window.show();
    QVERIFY(!window.isModal());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    const QRect screen = window.screen()->geometry();
    QCOMPARE(window.pos(), QPoint(screen.left() + (screen.width() - window.width()) / 2,
                                  screen.top() + (screen.height() - window.height()) / 2));
    window.SetText("Cutting pieces");
    window.SetPercent(40);
    QCOMPARE(label->text(), QString("Cutting pieces"));
    QCOMPARE(bar->value(), 40);
    window.SetPercent(250);
    QCOMPARE(bar->value(), 100);
    window.SetPercent(0);
    QCOMPARE(bar->value(), 0);
    QVERIFY(window.close());
  }

  // ---- skin chooser

  void skinsAreListedWithThumbnails() {
    TJigsawProject2 project;
    const std::vector<TColor32> colours = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
    const std::vector<QSize> sizes = {{300, 200}, {64, 64}, {1, 500}};
    for (std::size_t i = 0; i < colours.size(); ++i) {
      auto skin = project.NewSkin();
      skin->Data = SkinBmp(sizes[i].width(), sizes[i].height(), colours[i]);
      project.Skins.push_back(std::move(skin));
    }
    TfrmSelectSkin dialog(project, 1);
    auto* list = dialog.findChild<QListWidget*>("lbSkins");
    QCOMPARE(list->size(), QSize(147, 161));
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    QCOMPARE(lines, QStringList({"Skin #1", "Skin #2", "Skin #3"}));
    QCOMPARE(dialog.Thumbnails().size(), std::size_t{3});
    for (std::size_t i = 0; i < colours.size(); ++i) {
      const TBitmap32& thumbnail = dialog.Thumbnails()[i];
      QCOMPARE(QSize(thumbnail.Width(), thumbnail.Height()), QSize(128, 128));
      QCOMPARE(thumbnail.Bits()[0] | 0xFF000000u, colours[i]);
      QCOMPARE(thumbnail.Bits()[128 * 128 - 1] | 0xFF000000u, colours[i]);
    }

    auto* preview = dialog.findChild<QLabel*>("imgPreview");
    QCOMPARE(preview->size(), QSize(245, 161));
    QImage shown;
    const int result = RunModal(dialog, [&] {
      QCOMPARE(list->currentRow(), 1);
      shown = preview->pixmap().toImage();
      // A click on the first line shows its thumbnail, and OK takes it.
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
      QCOMPARE(preview->pixmap().toImage().pixel(80, 80) | 0xFF000000u, QRgb{0xFFFF0000u});
      QTest::mouseClick(Button(dialog, "btnOK"), Qt::LeftButton);
    });
    // The square thumbnail scaled to the preview's height.
    QCOMPARE(shown.size(), QSize(161, 161));
    QCOMPARE(shown.pixel(80, 80) | 0xFF000000u, QRgb{0xFF00FF00u});
    QCOMPARE(result, mrOk);
    QCOMPARE(dialog.SkinIndex, 0);
  }

  void cancelOrNoSkinsKeepTheIndex() {
    TJigsawProject2 project;
    auto skin = project.NewSkin();
    skin->Data = SkinBmp(10, 10, 0xFF808080u);
    project.Skins.push_back(std::move(skin));
    TfrmSelectSkin cancelled(project, 0);
    const int result = RunModal(cancelled, [&] {
      auto* list = cancelled.findChild<QListWidget*>("lbSkins");
      QCOMPARE(list->currentRow(), 0);
      QTest::mouseClick(Button(cancelled, "btnCancel"), Qt::LeftButton);
    });
    QCOMPARE(result, mrCancel);
    QCOMPARE(cancelled.SkinIndex, 0);

    const TJigsawProject2 empty;
    TfrmSelectSkin none(empty, 2);
    QCOMPARE(none.findChild<QListWidget*>("lbSkins")->count(), 0);
    QCOMPARE(RunModal(none, [&] { QTest::mouseClick(Button(none, "btnOK"), Qt::LeftButton); }), mrOk);
    QCOMPARE(none.SkinIndex, 2);
  }

  void aSkinWithoutAReadableBitmapFails() {
    for (const std::vector<uint8_t>& data :
         {std::vector<uint8_t>{}, std::vector<uint8_t>{'B', 'M', 1, 2, 3}}) {
      TJigsawProject2 project;
      auto skin = project.NewSkin();
      skin->Data = TMemoryStream(data);
      project.Skins.push_back(std::move(skin));
      bool raised = false;
      try {
        TfrmSelectSkin dialog(project, 0);
      } catch (const std::exception&) {
        raised = true;
      }
      QVERIFY(raised);
    }
  }

  // ---- printing

  void thePictureFitsThePage_data() {
    QTest::addColumn<int>("pageWidth");
    QTest::addColumn<int>("pageHeight");
    QTest::addColumn<int>("pictureWidth");
    QTest::addColumn<int>("pictureHeight");
    QTest::addColumn<kv::TRect>("fitted");
    QTest::newRow("wide picture, width fills") << 1000 << 1000 << 200 << 100 << TRect{0, 250, 1000, 750};
    QTest::newRow("tall picture, height fills") << 1000 << 800 << 100 << 100 << TRect{100, 0, 900, 800};
    QTest::newRow("same proportions") << 400 << 300 << 800 << 600 << TRect{0, 0, 400, 300};
    QTest::newRow("width rounds down") << 10 << 10 << 3 << 1 << TRect{0, 3, 10, 6};
    QTest::newRow("width rounds up") << 10 << 10 << 3 << 2 << TRect{0, 1, 10, 8};
    QTest::newRow("1.5 to even 2") << 100 << 1 << 3 << 2 << TRect{49, 0, 51, 1};
    QTest::newRow("2.5 to even 2") << 100 << 1 << 5 << 2 << TRect{49, 0, 51, 1};
    QTest::newRow("3.5 to even 4") << 100 << 1 << 7 << 2 << TRect{48, 0, 52, 1};
    QTest::newRow("height 2.5 to even 2") << 1 << 100 << 2 << 5 << TRect{0, 49, 1, 51};
    QTest::newRow("height 1.5 to even 2") << 1 << 100 << 2 << 3 << TRect{0, 49, 1, 51};
    QTest::newRow("odd free space") << 101 << 50 << 100 << 100 << TRect{25, 0, 75, 50};
    QTest::newRow("A4 at 1200 dpi") << 9917 << 14033 << 1024 << 768 << TRect{0, 3297, 9917, 10735};
    QTest::newRow("huge values") << 2000000000 << 3 << 2000000000 << 2000000000
                                 << TRect{999999998, 0, 1000000001, 3};
    QTest::newRow("empty picture") << 100 << 100 << 0 << 10 << TRect{};
    QTest::newRow("empty page") << 0 << 0 << 10 << 10 << TRect{};
  }

  void thePictureFitsThePage() {
    QFETCH(int, pageWidth);
    QFETCH(int, pageHeight);
    QFETCH(int, pictureWidth);
    QFETCH(int, pictureHeight);
    QFETCH(kv::TRect, fitted);
    const TRect got = FitPictureToPage(pageWidth, pageHeight, pictureWidth, pictureHeight);
    QVERIFY2(got == fitted,
             qPrintable(QString("%1,%2,%3,%4").arg(got.Left).arg(got.Top).arg(got.Right).arg(got.Bottom)));
  }

  void printingToAPdfFileWritesThePage() {
    TBitmap32 picture(320, 200);
    picture.Clear(0xFF3366CCu);
    const std::string file = Dir.file("picture.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(file));
    PrintPicture(picture, printer);
    const std::vector<uint8_t> bytes = kvtest::ReadFileBytes(file);
    QVERIFY(bytes.size() > 1000);
    QCOMPARE(std::string(bytes.begin(), bytes.begin() + 5), std::string("%PDF-"));
    // The page carries the picture at its own size; the page scales it.
    const QByteArray pdf(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QVERIFY(pdf.contains("/Subtype /Image"));
    QVERIFY(pdf.contains("/Width 320"));
    QVERIFY(pdf.contains("/Height 200"));
    QCOMPARE(printer.docName(), QString("Korvane Jigsaw"));
  }

  void printingFailuresRaiseTheirMessage() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(Dir.file("no such folder/picture.pdf")));
    TBitmap32 picture(4, 4);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, PrintPicture(picture, printer));
    printer.setOutputFileName(QString::fromStdString(Dir.file("empty.pdf")));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, PrintPicture(TBitmap32(), printer));
  }

  void thePrintJobWithoutAPrinterWritesAPdf() {
    if (!QPrinterInfo::availablePrinters().isEmpty())
      QSKIP("a printer is installed: the job would ask for it");
    TBitmap32 picture(64, 48);
    picture.Clear(0xFF00AA00u);
    const std::string file = Dir.file("job.pdf");
    QVERIFY(PrintPictureJob(picture, nullptr, file));
    const std::vector<uint8_t> bytes = kvtest::ReadFileBytes(file);
    QVERIFY(bytes.size() > 1000);

    // A failure shows its message in a box and reports that nothing was printed.
    QString message;
    QTimer::singleShot(0, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        message = box->text();
        box->accept();
      }
    });
    QVERIFY(!PrintPictureJob(picture, nullptr, Dir.file("no such folder/job.pdf")));
    QCOMPARE(message, QString("The printer could not be opened."));
  }

private:
  kvtest::TempDir Dir;
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
