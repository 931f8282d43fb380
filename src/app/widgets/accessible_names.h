#pragma once
// Names for the controls of a window as a screen reader announces them. Every control
// that takes input gets an accessible name that says what it is: the label beside it
// (which becomes its buddy, so a mnemonic on the label reaches it too), else its tool
// tip, else its group's title with its kind. Tables and combo boxes are named as well,
// since without a name a table is announced by nothing and a combo box by its current
// value. Controls that would share a name (three "Edit" buttons) are told apart by
// their tool tips or their groups. Names set by hand are kept.
class QWidget;

namespace morvex::app {

void nameControls(QWidget* root);

// The controls under `root` a user can operate (buttons, check boxes, fields, combo
// boxes, tables and other item views, sliders), visible or not.
bool isInteractiveControl(const QWidget* w);

}  // namespace morvex::app
