#pragma once
// The one way the PLAYLIST tab's groups change the playlist read last: each change is
// recorded on the tab's undo stack as one step (so it can be undone) and the document
// compares itself with the saved file again (so the modified mark follows the model).
// The group that made the change shows what it changed; while an edit of ours runs,
// the stack's index change is not an undo or redo the tab must redraw for.
#include <QString>
#include <QUndoStack>
#include <utility>

#include "app/shell/document.h"
#include "core/log.h"
#include "playlist/mpls.h"

namespace morvex::app {

// Whether `after` may replace `before` (see PlaylistEdits::checked); reports what it
// finds in `log`.
bool acceptTimes(const playlist::Playlist& before, const playlist::Playlist& after, core::Log& log);

class PlaylistEdits {
public:
  PlaylistEdits(QUndoStack& undo, ModelDocument<playlist::Playlist>& doc) : undo_(undo), doc_(doc) {}

  // Applies `change` as one undoable step named `what`; `mergeId` >= 0 joins it with
  // the previous step of the same kind (typing). True when the model changed.
  template <class F>
  bool operator()(const QString& what, F&& change, int mergeId = -1) {
    const bool was = editing_;
    editing_ = true;
    const bool changed = editDocuments(undo_, what, mergeId, std::forward<F>(change), doc_);
    editing_ = was;
    return changed;
  }

  // The same for a value the user typed, checked as the disc check would: a change
  // that check would call an error (an OUT time before the IN time, a mark on a
  // PlayItem the playlist lacks) is refused with its message in the log and the
  // status line; one it would warn about (a mark outside its PlayItem) is taken, with
  // the warning shown. `change` takes the playlist to change; it runs on a copy first.
  template <class F>
  bool checked(core::Log& log, const QString& what, F&& change, int mergeId = -1) {
    playlist::Playlist trial = doc_.model;
    change(trial);
    if (!acceptTimes(doc_.model, trial, log)) return false;
    return (*this)(what, [&] { doc_.model = std::move(trial); }, mergeId);
  }

  // An edit of ours is under way: the screen already shows (or is about to show) the
  // new state.
  bool busy() const { return editing_; }

  playlist::Playlist& model() { return doc_.model; }
  const playlist::Playlist& model() const { return doc_.model; }

  // A playlist has been read and is shown: without one there is nothing to edit.
  bool loaded = false;

private:
  QUndoStack& undo_;
  ModelDocument<playlist::Playlist>& doc_;
  bool editing_ = false;
};

// References that point nowhere (a mark's PlayItem, a stream's SubPath) are kept as
// they stand, since a player may still make sense of them, but the user should know:
// one warning a reference.
void warnReferences(const playlist::Playlist& m, core::Log& log);

}  // namespace morvex::app
