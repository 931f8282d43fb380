#pragma once
// The one owner of everything read from the disc folder: the load result (folder,
// file names, playlist, clip-information and BD-J object names, the stream table, the
// cross references, the label) and the documents of the editable files. Every tab
// reads the disc from here and keeps no copy of its own. Pages that load further files
// (a playlist, a clip, a menu) register their documents, so the window's title, the
// close question and Read cover them too.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUndoStack>
#include <filesystem>
#include <functional>

#include "disc/disc_load.h"
#include "app/shell/document.h"

namespace morvex::app {

class DiscSession : public QObject {
  Q_OBJECT
public:
  explicit DiscSession(QObject* parent = nullptr);
  // The undo stack says nothing while it goes: the views may be gone already.
  ~DiscSession() override { discUndo_.blockSignals(true); }

  // True once a load passed its check; nothing is saved into a folder that failed.
  bool isLoaded() const { return load_.checkPassed; }
  // index.bdmv was read with a valid head: its lists and Save are usable.
  bool indexRead() const { return isLoaded() && load_.indexGood; }
  bool hasSound() const { return hasSound_; }
  const std::filesystem::path& folder() const { return load_.folder; }
  // The load result; its three editable models live in the documents below.
  const disc::DiscLoad& disc() const { return load_; }

  ModelDocument<nav::IndexTable> index{QStringLiteral("index.bdmv")};
  ModelDocument<nav::MovieObjectFile> movieObjects{QStringLiteral("MovieObject.bdmv")};
  ModelDocument<sound::SoundFile> sound{QStringLiteral("sound.bdmv")};
  // The undo stack of the three files above (an edit may touch two of them).
  QUndoStack& discUndo() { return discUndo_; }

  // Takes over a finished load: emits loaded() when it passed its check, cleared()
  // otherwise. A failed folder is remembered (for its name) but holds no models.
  void adopt(disc::DiscLoad load);
  void clear();
  // A sound file was created in memory for this disc.
  void setHasSound(bool on);

  // Every document of the run: the three above and those pages registered. A save
  // that the read check stops is reported in `log`.
  void registerDocument(Document* d);
  void setLog(core::Log* log) { log_ = log; }
  // Whether "Save to BACKUP dir" is on (the window's settings).
  std::function<bool()> backupDirOn;
  const QList<QPointer<Document>>& documents() const { return docs_; }
  QList<Document*> modifiedDocuments() const;
  bool anyModified() const { return !modifiedDocuments().isEmpty(); }

  // Before something would drop modified documents: asks the installed question
  // (Save / Discard / Cancel). True when the caller may go on. Without a question
  // installed, modified documents are kept (false).
  using Question = std::function<int(const QList<Document*>&)>;  // returns an Answer
  enum Answer { AnswerSave, AnswerDiscard, AnswerCancel };
  void setQuestion(Question q) { question_ = std::move(q); }
  bool settle();

signals:
  void loaded();
  void cleared();
  // Any document's modified flag changed; `any` tells whether one is modified now.
  void modifiedChanged(bool any);
  // A save left the disc's BACKUP copy of `file` behind although it matched the file
  // before ("Save to BACKUP dir" is off). Told once per disc read.
  void backupLeftBehind(const QString& file);

private:
  disc::DiscLoad load_;
  bool hasSound_ = false;
  QUndoStack discUndo_;
  QList<QPointer<Document>> docs_;
  Question question_;
  core::Log* log_ = nullptr;
  // The BACKUP copy of the file being saved matched it before the save.
  QString backupInStep_;
  bool backupTold_ = false;
};

}  // namespace morvex::app
