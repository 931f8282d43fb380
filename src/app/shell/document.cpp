#include "app/shell/document.h"

namespace morvex::app {

bool Document::save() {
  if (!writable()) {
    Q_EMIT saveBlocked(blockedText());
    return false;
  }
  if (!saver) return false;
  Q_EMIT aboutToSave();
  const bool ok = saver();
  if (ok) Q_EMIT saved();
  return ok;
}

void Document::setReadResult(core::ReadResult r) {
  read_ = std::move(r);
  savingAllowed_ = false;
  Q_EMIT readStateChanged();
}

void Document::allowSaving() {
  if (!read_.partial() || savingAllowed_) return;
  savingAllowed_ = true;
  Q_EMIT readStateChanged();
}

QString Document::blockedText() const {
  if (read_.refused())
    return name_ + " was not read (" + QString::fromStdString(read_.summary()) + "): it is not saved.";
  if (read_.partial() && !savingAllowed_)
    return name_ + " was read only in part (" + QString::fromStdString(read_.summary()) +
           "): allow saving first; a save writes only what was read.";
  return {};
}

void Document::refreshModified() {
  const bool now = differsFromSaved();
  if (now == modified_) return;
  modified_ = now;
  Q_EMIT modifiedChanged(now);
}

void Document::replaced() {
  refreshModified();
  Q_EMIT modelReplaced();
}

void DocumentEdit::undo() {
  for (auto it = states_.rbegin(); it != states_.rend(); ++it) (*it)->apply(false);
  applied_ = false;
}

void DocumentEdit::redo() {
  // The first redo is the push itself: the models already hold the result.
  if (applied_) return;
  for (auto& s : states_) s->apply(true);
  applied_ = true;
}

bool DocumentEdit::mergeWith(const QUndoCommand* other) {
  auto* o = dynamic_cast<const DocumentEdit*>(other);
  if (!o || mergeId_ < 0 || o->mergeId_ != mergeId_) return false;
  auto stateOf = [this](const Document* d) -> State* {
    for (auto& s : states_)
      if (s->document() == d) return s.get();
    return nullptr;
  };
  for (const auto& later : o->states_)
    if (!stateOf(later->document())) return false;
  for (const auto& later : o->states_) stateOf(later->document())->takeAfter(*later);
  return true;
}

}  // namespace morvex::app
