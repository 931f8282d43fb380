#pragma once
// The sound.bdmv group of the BDMV tab: the menu sounds (import, export, delete,
// play) and the file's ExtensionData. Hidden while the disc has no sound.bdmv.
#include <QBuffer>
#include <QGroupBox>
#include <QPointer>
#include <memory>

#include "app/bdmv/disc_edits.h"
#include "app/shell/app_context.h"
#include "sound/sound.h"

class QAudioSink;
class QLabel;
class QPushButton;
class QTableWidget;

namespace morvex::app {

class SoundGroup : public QGroupBox {
  Q_OBJECT
public:
  SoundGroup(AppContext& ctx, DiscEdits& edit, QWidget* parent = nullptr);
  ~SoundGroup() override;

  // Shows the model (and the group only when the disc has the file).
  void showSound();
  // Imports a WAV file after the selected sound (Ins in the sound table).
  bool importSound(const QString& wavPath);
  bool exportSound(int row, const QString& wavPath);
  void deleteSound(int row);
  // A new sound.bdmv holding the WAV file's sound: one undoable edit.
  bool createSound(const QString& wavPath);
  void playSound(int row);

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  void refreshSoundRow(int i);
  void editExtensionData();
  sound::SoundFile& snd() { return ctx_.session.sound.model; }

  AppContext& ctx_;
  DiscEdits& edit_;
  bool filling_ = false;
  std::unique_ptr<QBuffer> wavBuffer_;
  QPointer<QAudioSink> sink_;

  QTableWidget* sounds_;
  QPushButton *play_, *saveSound_;
  QLabel* sndExt_;
  QPushButton* sndExtEdit_;
};

}  // namespace morvex::app
