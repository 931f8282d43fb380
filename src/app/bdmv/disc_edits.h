#pragma once
// The one way the BDMV tab's groups change index.bdmv, MovieObject.bdmv and
// sound.bdmv: each change is recorded on the session's disc undo stack (an edit may
// touch two of the files, such as deleting movie objects renumbers the titles), so
// it can be undone. While an edit of our own runs, the stack's index change is not an
// undo or redo the groups must redraw for.
#include <QString>
#include <utility>

#include "app/shell/disc_session.h"
#include "app/shell/document.h"

namespace morvex::app {

class DiscEdits {
public:
  explicit DiscEdits(DiscSession& session) : s_(session) {}

  // Applies `change` as one undoable step named `what`; `mergeId` >= 0 joins it with
  // the previous step of the same kind (typing). True when a model changed.
  template <class F>
  bool operator()(const QString& what, F&& change, int mergeId = -1) {
    const bool was = editing_;
    editing_ = true;
    const bool changed =
        editDocuments(s_.discUndo(), what, mergeId, std::forward<F>(change), s_.index, s_.movieObjects, s_.sound);
    editing_ = was;
    return changed;
  }

  // An edit of ours, or a read replacing the models, is under way: the screen
  // already shows (or is about to show) the new state.
  bool busy() const { return editing_ || reading; }
  bool reading = false;

private:
  DiscSession& s_;
  bool editing_ = false;
};

}  // namespace morvex::app
