#include "app/UfmHighScore.h"

#include "app/uFormatClock.h"
#include "data/uHighScore.h"
#include "platform/uQtPlatform.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

namespace kv {

TfmHighScore::TfmHighScore(QWidget* parent) : TModalDialog(parent) {
  setWindowTitle("High Score");
  setFixedSize(425, 283);
  setFont(DialogFont());
  SetPanelColour(*this, QColor(0xE8, 0xE8, 0xE8));

  lvHighScore = new QTreeWidget(this);
  lvHighScore->setObjectName("lvHighScore");
  lvHighScore->setGeometry(8, 8, 409, 236);
  lvHighScore->setRootIsDecorated(false);
  // The three columns fill the list but for its frame: no scroll bar for the last pixels.
  lvHighScore->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  lvHighScore->setSelectionMode(QAbstractItemView::SingleSelection);
  lvHighScore->setColumnCount(3);
  lvHighScore->setHeaderLabels({"No", "Name", "Time"});
  lvHighScore->header()->setStretchLastSection(false);
  lvHighScore->header()->setSectionsMovable(false);
  lvHighScore->setColumnWidth(0, 40);
  lvHighScore->setColumnWidth(1, 250);
  lvHighScore->setColumnWidth(2, 120);
  lvHighScore->headerItem()->setTextAlignment(2, Qt::AlignCenter);

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("btnOK");
  ok->setGeometry(175, 252, 75, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &TfmHighScore::accept);
}

void TfmHighScore::FillList(const THighScore& table, int32_t level) {
  lvHighScore->clear();
  for (int32_t position = 1; position <= THighScore::TablePositions; ++position) {
    const THighScoreData entry = table.GetEntry(level, position - 1);
    if (entry.Time == -1) continue;
    auto* line = new QTreeWidgetItem(lvHighScore);
    line->setText(0, QString::number(position));
    line->setText(1, QtText(entry.Name));
    line->setText(2, QtText(FormatClock(entry.Time)));
    line->setTextAlignment(2, Qt::AlignCenter);
  }
}

} // namespace kv
