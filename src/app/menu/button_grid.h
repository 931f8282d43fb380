#pragma once
// The columns of the button grid on the Menu tab: one per button field, in the order
// the engine names them; the grid's column numbers live here, the engine knows fields.
#include <optional>

#include "igs/edit.h"

namespace morvex::app {

enum ButtonColumn {
  ColId, ColValue, ColAutoAction, ColX, ColY, ColUpper, ColLower, ColLeft, ColRight, ColNormalStart,
  ColNormalEnd, ColNormalRepeat, ColSelSound, ColSelStart, ColSelEnd, ColSelRepeat, ColActSound, ColActStart,
  ColActEnd, ColCommands, ButtonColumnCount
};
static_assert(size_t(ButtonColumnCount) == igs::kButtonFieldCount);

// The field a column of the button grid shows; none outside the grid.
inline std::optional<igs::ButtonField> buttonField(int column) {
  if (column < 0 || column >= ButtonColumnCount) return std::nullopt;
  return igs::ButtonField(column);
}

}  // namespace morvex::app
