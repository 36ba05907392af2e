#include "save/tracks_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "widgets/window_style.h"

namespace vintrel {

namespace {

enum Column { kKeep, kKind, kCodec, kLanguage, kChannels, kTitle, kDefault, kColumns };

QTableWidgetItem* textItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled);
  return item;
}

}  // namespace

TracksDialog::TracksDialog(const std::vector<cut::Track>& tracks, const QStringList& kept,
                           const QString& defaultSound, QWidget* owner)
    : QDialog(owner), tracks_(tracks) {
  setObjectName("tracksDialog");
  setWindowTitle("Tracks");
  centreOnOwner(this);
  table = new QTableWidget(int(tracks.size()), kColumns, this);
  table->setObjectName("tracksTable");
  table->setHorizontalHeaderLabels(
      {"Keep", "Kind", "Codec", "Language", "Channels", "Title", "Played first"});
  table->verticalHeader()->hide();
  table->setSelectionMode(QAbstractItemView::NoSelection);
  defaults = new QButtonGroup(this);
  for (int row = 0; row < int(tracks.size()); ++row) {
    const cut::Track& track = tracks[row];
    auto* keep = new QTableWidgetItem(track.id);
    // The picture always goes with the cut.
    const bool video = track.kind == "video";
    keep->setFlags(video ? Qt::ItemIsUserCheckable : Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    keep->setCheckState(video || kept.isEmpty() || kept.contains(track.id) ? Qt::Checked : Qt::Unchecked);
    table->setItem(row, kKeep, keep);
    table->setItem(row, kKind, textItem(track.kind));
    table->setItem(row, kCodec, textItem(track.codec));
    table->setItem(row, kLanguage, textItem(track.language));
    table->setItem(row, kChannels,
                   textItem(track.channels > 0 ? QString::number(track.channels) : QString()));
    table->setItem(row, kTitle, textItem(track.title));
    if (track.kind != "sound") continue;
    if (track.isDefault && fileDefault_.isEmpty()) fileDefault_ = track.id;
    auto* first = new QRadioButton(table);
    first->setObjectName("default-" + track.id);
    first->setChecked(defaultSound.isEmpty() ? track.isDefault : defaultSound == track.id);
    defaults->addButton(first, row);
    table->setCellWidget(row, kDefault, first);
  }
  table->resizeColumnsToContents();
  table->horizontalHeader()->setStretchLastSection(true);

  auto* note =
      new QLabel("A type that cannot hold a ticked track (subtitles in an AVI) leaves it out.", this);
  note->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table);
  layout->addWidget(note);
  layout->addWidget(buttons);
  resize(560, 120 + 30 * int(tracks.size()));
}

QStringList TracksDialog::keptTracks() const {
  QStringList kept;
  for (int row = 0; row < table->rowCount(); ++row)
    if (table->item(row, kKeep)->checkState() == Qt::Checked) kept << tracks_[row].id;
  return int(kept.size()) == table->rowCount() ? QStringList() : kept;
}

QString TracksDialog::defaultSound() const {
  const int row = defaults->checkedId();
  // A track left out cannot be played first: the file's own default among those kept then.
  if (row < 0 || table->item(row, kKeep)->checkState() != Qt::Checked) return {};
  const QString chosen = tracks_[row].id;
  return chosen == fileDefault_ ? QString() : chosen;
}

}  // namespace vintrel
