#include "app/bdmv/sound_group.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaDevices>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <filesystem>

#include "core/save.h"
#include "app/extdata/ext_data_editor.h"
#include "app/widgets/grid.h"
#include "app/shell/qt_text.h"

namespace morvex::app {

namespace {
}  // namespace

SoundGroup::SoundGroup(AppContext& ctx, DiscEdits& edit, QWidget* parent)
    : QGroupBox("sound.bdmv", parent), ctx_(ctx), edit_(edit) {
  setObjectName("soundGroup");
  auto* sl = new QVBoxLayout(this);
  const int sw = QFontMetrics(font()).horizontalAdvance("Stereo") + 18;
  sounds_ = makeTable("soundTable", {"No.", "channel", "frequency", "bits/sample", "length"},
                      {QFontMetrics(font()).horizontalAdvance("0000") + 10, sw, sw, sw}, this);
  sounds_->setSelectionMode(QAbstractItemView::SingleSelection);
  sounds_->setToolTip("Sound entries\r\nShift-Del: Delete sound\r\nIns: Insert sound");
  sounds_->installEventFilter(this);
  sl->addWidget(sounds_, 1);
  auto* sr = new QHBoxLayout();
  play_ = new QPushButton("Play", this);
  play_->setObjectName("playButton");
  play_->setToolTip("Play sound entry");
  saveSound_ = new QPushButton("Save...", this);
  saveSound_->setObjectName("saveSoundButton");
  saveSound_->setToolTip("Save sound entry");
  sndExt_ = new QLabel("no ExtensionData()", this);
  sndExt_->setObjectName("soundExtensionDataLabel");
  sndExtEdit_ = new QPushButton("Edit", this);
  sndExtEdit_->setObjectName("soundExtensionDataButton");
  sr->addWidget(play_);
  sr->addWidget(saveSound_);
  sr->addStretch(1);
  sr->addWidget(sndExt_);
  sr->addWidget(sndExtEdit_);
  sl->addLayout(sr);

  connect(sndExtEdit_, &QPushButton::clicked, this, &SoundGroup::editExtensionData);
  connect(play_, &QPushButton::clicked, this, [this] {
    playSound(sounds_->currentRow());
    sounds_->setFocus();
  });
  connect(saveSound_, &QPushButton::clicked, this, [this] {
    const int r = sounds_->currentRow();
    if (r < 0 || r >= int(snd().entries.size())) return;
    QFileDialog dlg(this, "Save sound entry", ctx_.dialogFolder() + "/sound_" + num3(r) + ".wav", "Wave (*.wav)");
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix("wav");
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) exportSound(r, dlg.selectedFiles().front());
    sounds_->setFocus();
  });
  connect(sounds_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (filling_) return;
    if (r >= 0 && r < int(snd().entries.size()))
      ctx_.log->status(core::StatusPanel::Detail, sound::selectionText(snd(), size_t(r)));
    else if (snd().entries.empty())
      ctx_.log->status(core::StatusPanel::Detail, "");
  });
}

SoundGroup::~SoundGroup() {
  if (sink_) sink_->stop();
}

bool SoundGroup::eventFilter(QObject* o, QEvent* e) {
  if (o == sounds_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    const auto mods = k->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (mods == Qt::NoModifier && k->key() == Qt::Key_Insert) {
      const QString f = QFileDialog::getOpenFileName(
          this, "Select a sound file (mandatory 16 bit, 48kHz, uncompressed)", ctx_.dialogFolder(), "Wave (*.wav)");
      if (!f.isEmpty()) importSound(f);
      return true;
    }
    if (mods == Qt::ShiftModifier && k->key() == Qt::Key_Delete) {
      deleteSound(sounds_->currentRow());
      return true;
    }
  }
  return QGroupBox::eventFilter(o, e);
}

void SoundGroup::showSound() {
  filling_ = true;
  setVisible(ctx_.session.hasSound());
  sounds_->clearContents();
  sounds_->setRowCount(std::max<int>(1, int(snd().entries.size())));
  for (size_t i = 0; i < snd().entries.size(); ++i) refreshSoundRow(int(i));
  play_->setEnabled(!snd().entries.empty());
  saveSound_->setEnabled(!snd().entries.empty());
  sndExt_->setText(toQt(core::extensionDataCaption(snd().extensionData)));
  filling_ = false;
}

void SoundGroup::refreshSoundRow(int i) {
  const auto& e = snd().entries.at(size_t(i));
  setCell(sounds_, i, 0, toQt(sound::soundNumberText(size_t(i))));
  setCell(sounds_, i, 1, toQt(sound::channelText(e.channelConfiguration)));
  setCell(sounds_, i, 2, toQt(sound::frequencyText(e.samplingFrequency)));
  setCell(sounds_, i, 3, toQt(sound::bitsText(e.bitsPerSample)));
  setCell(sounds_, i, 4, toQt(sound::lengthText(e.length)));
}

bool SoundGroup::importSound(const QString& wavPath) {
  ctx_.log->status(core::StatusPanel::Detail, wavPath.toStdString());
  core::Bytes wav;
  std::string error;
  if (!core::readWholeFile(wavPath.toStdString(), wav, error)) {
    ctx_.log->error(error);
    return false;
  }
  sound::SoundEntry entry;
  if (!sound::wavToEntry(wav, entry, error)) {
    ctx_.log->error(error);
    return false;
  }
  const int row = snd().entries.empty() ? -1 : sounds_->currentRow();
  int at = -1;
  edit_("Insert sound", [&] { at = sound::insertSound(snd(), row, std::move(entry)); });
  if (at < 0) {
    ctx_.log->error(sound::kTooManySounds);
    return false;
  }
  showSound();
  sounds_->setCurrentCell(at, 0);
  return true;
}

bool SoundGroup::exportSound(int row, const QString& wavPath) {
  if (row < 0 || row >= int(snd().entries.size())) return false;
  std::string error;
  if (!core::writeFileAtomic(wavPath.toStdString(), sound::makeWav(snd().entries[size_t(row)]), error)) {
    ctx_.log->error(error);
    return false;
  }
  return true;
}

void SoundGroup::deleteSound(int row) {
  bool gone = false;
  edit_("Delete sound", [&] { gone = sound::deleteSound(snd(), size_t(std::max(0, row))); });
  if (!gone) return;
  showSound();
  if (!snd().entries.empty()) sounds_->setCurrentCell(std::min(row, int(snd().entries.size()) - 1), 0);
}

bool SoundGroup::createSound(const QString& wavPath) {
  if (!ctx_.session.isLoaded() || ctx_.session.hasSound()) return false;
  // The new file starts with its first sound: the empty file and the import are one
  // edit, so undo removes both.
  core::Bytes wav;
  std::string error;
  sound::SoundEntry entry;
  if (!core::readWholeFile(wavPath.toStdString(), wav, error) || !sound::wavToEntry(wav, entry, error)) {
    ctx_.log->error(error);
    return false;
  }
  edit_("Create sound.bdmv", [&] {
    snd() = sound::newSoundFile();
    sound::insertSound(snd(), -1, std::move(entry));
  });
  ctx_.session.setHasSound(true);
  showSound();
  sounds_->setCurrentCell(0, 0);
  std::error_code ec;
  std::filesystem::create_directories(ctx_.session.folder() / "AUXDATA", ec);
  return true;
}

// Plays one entry once, asynchronously; a request while a sound plays restarts the
// player with the new sound. No audio device: nothing plays and nothing is said.
void SoundGroup::playSound(int row) {
  if (row < 0 || row >= int(snd().entries.size())) return;
  const sound::SoundEntry& e = snd().entries[size_t(row)];
  if (sink_) {
    sink_->stop();
    sink_->deleteLater();
  }
  const core::Bytes wav = sound::makeWav(e);
  QAudioFormat fmt;
  fmt.setSampleRate(48000);
  fmt.setChannelCount(e.channelConfiguration == 3 ? 2 : 1);
  fmt.setSampleFormat(QAudioFormat::Int16);
  const QAudioDevice dev = QMediaDevices::defaultAudioOutput();
  if (dev.isNull() || !dev.isFormatSupported(fmt)) return;
  wavBuffer_ = std::make_unique<QBuffer>();
  wavBuffer_->setData(reinterpret_cast<const char*>(wav.data()) + 44, int(wav.size()) - 44);
  wavBuffer_->open(QIODevice::ReadOnly);
  sink_ = new QAudioSink(dev, fmt, this);
  sink_->start(wavBuffer_.get());
}

// The sound writer places the block itself when the file is saved.
void SoundGroup::editExtensionData() {
  ExtDataEditor dlg(snd().extensionData, "sound.bdmv", ctx_.dialogFolder(), *ctx_.log, this);
  if (dlg.exec() != QDialog::Accepted) return;
  edit_("sound.bdmv ExtensionData", [&] { snd().extensionData = dlg.block(); });
  sndExt_->setText(toQt(core::extensionDataCaption(snd().extensionData)));
}

}  // namespace morvex::app
