#pragma once
// The open menu as an editable document: the whole menu model is the undo snapshot,
// so structural edits (pages, BOGs, buttons, objects, palettes) and cell edits undo
// alike. The colour cache and other drawing state live beside it in
// igs::MenuPictures, never in the document.
#include "igs/model.h"
#include "shell/document.h"

namespace morvex::app {

using MenuDocument = ModelDocument<igs::Menu>;

}  // namespace morvex::app
