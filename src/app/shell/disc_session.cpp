#include "app/shell/disc_session.h"

#include "core/save.h"

namespace morvex::app {

DiscSession::DiscSession(QObject* parent) : QObject(parent) {
  for (Document* d : std::initializer_list<Document*>{&index, &movieObjects, &sound}) registerDocument(d);
}

void DiscSession::registerDocument(Document* d) {
  docs_.append(d);
  connect(d, &Document::modifiedChanged, this, [this] { Q_EMIT modifiedChanged(anyModified()); });
  connect(d, &Document::saveBlocked, this, [this](const QString& why) {
    if (log_) log_->error(why.toStdString());
  });
  // A disc keeps copies of its navigation, playlist and clip files in BACKUP. When
  // the copy matched the file before a save that does not update it, the user hears
  // of the setting that would, once per disc.
  connect(d, &Document::aboutToSave, this, [this, d] {
    backupInStep_.clear();
    if (backupTold_ || !isLoaded() || (backupDirOn && backupDirOn())) return;
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path file = d->path.toStdString();
    const fs::path rel = fs::relative(file, load_.folder, ec);
    if (ec || rel.empty() || *rel.begin() == ".." || *rel.begin() == "BACKUP") return;
    core::Bytes now, copy;
    std::string err;
    if (core::readWholeFile(file, now, err) && core::readWholeFile(load_.folder / "BACKUP" / rel, copy, err) &&
        now == copy)
      backupInStep_ = QString::fromStdString(rel.generic_string());
  });
  connect(d, &Document::saved, this, [this] {
    if (backupInStep_.isEmpty() || backupTold_) return;
    backupTold_ = true;
    Q_EMIT backupLeftBehind(backupInStep_);
  });
}


QList<Document*> DiscSession::modifiedDocuments() const {
  QList<Document*> out;
  for (const auto& d : docs_)
    if (d && d->modified()) out.append(d);
  return out;
}

void DiscSession::adopt(disc::DiscLoad load) {
  discUndo_.clear();
  backupTold_ = false;
  load_ = std::move(load);
  const auto dir = QString::fromStdString(load_.folder.string());
  index.path = dir + "/" + QString::fromStdString(load_.names.indexfile);
  movieObjects.path = dir + "/" + QString::fromStdString(load_.names.mobjfile);
  sound.path = dir + "/AUXDATA/sound.bdmv";
  // The loader reads the movie objects, the index and the sound file in that order
  // and stops at the first file that will not open: a file it never reached was not
  // read, so nothing of it may be written either. A disc without a sound file has
  // nothing to lose; a new one is complete.
  const auto readOf = [this](size_t i, bool needed) {
    if (i < load_.reads.size()) return load_.reads[i];
    if (!needed) return core::ReadResult{};
    return core::ReadResult::refusal(core::ReadIssue::CannotOpen, 0, "not read");
  };
  movieObjects.setReadResult(readOf(0, true));
  index.setReadResult(readOf(1, true));
  sound.setReadResult(readOf(2, false));
  if (!load_.checkPassed) {
    index.reset({});
    movieObjects.reset({});
    sound.reset({});
    hasSound_ = false;
    Q_EMIT cleared();
    return;
  }
  index.reset(std::move(load_.index));
  movieObjects.reset(std::move(load_.movieObjects));
  sound.reset(std::move(load_.sound));
  load_.index = {};
  load_.movieObjects = {};
  load_.sound = {};
  hasSound_ = load_.hasSound;
  Q_EMIT loaded();
}

void DiscSession::clear() {
  disc::DiscLoad none;
  none.folder = load_.folder;
  adopt(std::move(none));
}

void DiscSession::setHasSound(bool on) {
  hasSound_ = on;
}

bool DiscSession::settle() {
  const QList<Document*> mod = modifiedDocuments();
  if (mod.isEmpty()) return true;
  if (!question_) return false;
  switch (question_(mod)) {
    case AnswerDiscard:
      // Discarded means gone, also for documents the caller does not replace (a
      // menu stays open when another disc is read).
      for (Document* d : mod) d->revert();
      return true;
    case AnswerSave:
      for (Document* d : mod)
        if (d->modified()) d->save();
      return !anyModified();
    default:
      return false;
  }
}

}  // namespace morvex::app
