#pragma once
// The open menu as an editable document: the whole menu model is the undo snapshot,
// so structural edits (pages, BOGs, buttons, objects, palettes) and cell edits undo
// alike. The colour cache and other drawing state live beside it in
// igs::MenuPictures, never in the document.
#include <QString>
#include <functional>

#include "igs/edit.h"
#include "igs/model.h"
#include "app/shell/document.h"

namespace morvex::app {

using MenuDocument = ModelDocument<igs::Menu>;

// One undoable edit of the menu: `change` edits the model, and the colour cache and
// button lists are brought in step inside the same step, so undo and redo restore a
// menu that draws as it did. Returns whether the model changed.
template <class F>
bool editMenu(QUndoStack& undo, MenuDocument& doc, igs::MenuPictures& pictures, const QString& what, int mergeId,
              F&& change) {
  return editDocuments(
      undo, what, mergeId,
      [&] {
        change(doc.model);
        igs::refreshMenu(doc.model, &pictures);
      },
      doc);
}

// How the tab's parts reach editMenu: runs `change` on the menu as one undo step named
// `what`; true when the menu changed. The tab redraws what the change touched.
using MenuEditFn = std::function<bool(const QString& what, const std::function<void(igs::Menu&)>& change)>;

}  // namespace morvex::app
