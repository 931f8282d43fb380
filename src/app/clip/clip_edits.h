#pragma once
// The one way the CLIPINF tab's groups change the clip shown: each change is recorded
// on the tab's undo stack as one step, and the page then shows the model as it now
// stands. The groups also share here what they must know of the clip shown: its
// name, whether it was read whole (only then may it be edited), the size of its
// stream file, and whether the page is being filled from the model (the controls'
// signals are then no edits).
#include <QString>
#include <QUndoStack>
#include <cstdint>
#include <functional>
#include <utility>

#include "clip/clpi.h"
#include "app/shell/app_context.h"
#include "app/shell/document.h"

namespace morvex::app {

class ClipEdits {
public:
  ClipEdits(ModelDocument<clip::ClipInfo>& doc, QUndoStack& undo) : doc_(doc), undo_(undo) {}

  // Applies `change` to the clip as one undoable step named `what`, then shows the
  // page anew (also when nothing changed: the controls show the stored values again).
  template <class F>
  void operator()(const QString& what, F&& change) {
    record(what, std::forward<F>(change));
    if (showPage) showPage();
  }

  // The same step without showing the page anew: a cell edited in place keeps its
  // open editor, and shows what was stored itself.
  template <class F>
  bool record(const QString& what, F&& change) {
    const bool was = filling;
    filling = true;
    const bool changed = editDocuments(undo_, what, -1, [&] { change(doc_.model); }, doc_);
    filling = was;
    return changed;
  }

  const clip::ClipInfo& model() const { return doc_.model; }

  // The stream file of the clip shown; empty when it is missing.
  QString streamFile(const AppContext& ctx) const {
    if (streamSize == 0 || !ctx.session.isLoaded()) return {};
    return QString::fromStdString(
        (ctx.session.folder() / "STREAM" / (name.toStdString() + ctx.names().streamext)).string());
  }

  // The clip shown (its five-digit name); empty before the first read.
  QString name;
  // The clip was read whole: its fields may be edited and it may be saved.
  bool loaded = false;
  // The size of the clip's stream file when the page was last shown; 0 when missing.
  uint64_t streamSize = 0;
  // The page is being filled from the model, or an edit of ours is under way.
  bool filling = false;
  // Shows the whole page from the model (the tab installs it).
  std::function<void()> showPage;

private:
  ModelDocument<clip::ClipInfo>& doc_;
  QUndoStack& undo_;
};

}  // namespace morvex::app
