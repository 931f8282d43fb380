#pragma once
// Editing a menu's structure: new menu, pages, button overlap groups (BOGs) and
// buttons, the page fields, and the BOG and button grids with their acceptance rules.
//
// Button ids of a page are dense: a new button takes the id just past the page's
// button-by-id list, and deleting one closes the gap, renumbering ids, neighbours,
// BOG defaults and the button-addressing commands of that page.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/log.h"
#include "igs/model.h"

namespace morvex::igs {

inline constexpr size_t kMaxPages = 255;
inline constexpr size_t kMaxBOGs = 255;
inline constexpr size_t kMaxButtonsPerBOG = 32;

// Empties the menu and sets up a new one: 1920x1080, frame rate code 1, both model
// bits set, IN_time 180000 (two seconds) and one new page.
void newMenu(Menu& menu);

// Insertions; false (and nothing changed) past a limit or for a bad index.
bool createPage(Menu& menu);
bool createBog(Menu& menu, size_t page);
bool createButton(Menu& menu, size_t page, size_t bog);

// Deletions. erasePage needs at least two pages and eraseBog at least two BOGs in
// the page; eraseButton itself has no minimum (deleting by key asks
// canDeleteButton first). Returns false when nothing was deleted.
bool erasePage(Menu& menu, size_t page);
bool eraseBog(Menu& menu, size_t page, size_t bog);
bool eraseButton(Menu& menu, size_t page, size_t bog, size_t index);
bool canDeleteButton(const Menu& menu, size_t page, size_t bog);

// The page choice after erasePage(page): the previous page, or page 0.
size_t pageAfterDelete(size_t deletedPage);


// ---- Page fields --------------------------------------------------------------
enum class PageField { Mask1, Mask2, AnimationCode, DefaultSelected, DefaultActivated, Palette };

// The field as shown: mask 1 in 8 hex digits, mask 2 in 1, the animation code in
// decimal, the default buttons in 4 and the palette in 2.
std::string pageFieldText(const Page& page, PageField field);
// Stores a typed value in the page; false when it is not accepted (not a number, or
// a palette id not below the palette count).
bool setPageField(Menu& menu, size_t page, PageField field, std::string_view text);
// Read-only counts: in-effect windows, in-effects, out-effect windows, out-effects,
// BOGs.
std::array<unsigned, 5> pageCounts(const Page& page);

// "User timeout" as h:mm:ss of the composition's user time-out.
std::string userTimeoutText(const InteractiveComposition& ics);
// Parses h:mm:ss (or m:ss, or s) and stores seconds x 90000; an invalid text fails
// with "'<text>' is not a valid time" (status-bar error).
bool setUserTimeout(Menu& menu, std::string_view text, core::Log& log);
// "h:mm:ss.zzz" of IN_time.
std::string inTimeText(uint32_t inTime);

// ---- BOG grid -----------------------------------------------------------------
// Row captions of the BOG grid and the texts of one BOG's column.
extern const std::array<const char*, 2> kBogRowCaptions;  // " default valid button", " number of buttons"
std::array<std::string, 2> bogColumnTexts(const ButtonOverlapGroup& bog);
// Row 1 takes 0xFFFF or an id below the page's button-by-id list length.
bool setBogDefault(Menu& menu, size_t page, size_t bog, std::string_view text);
// Double-click on row 1: 0xFFFF becomes the first button's id, the last button's id
// becomes 0xFFFF, any other id the id of the button after it in the BOG.
void stepBogDefault(Menu& menu, size_t page, size_t bog);

// ---- Button grid --------------------------------------------------------------
// The fields a button row shows, in the order of its grid.
enum class ButtonField {
  Id, Value, AutoAction, X, Y, Upper, Lower, Left, Right, NormalStart, NormalEnd, NormalRepeat, SelectedSound,
  SelectedStart, SelectedEnd, SelectedRepeat, ActivatedSound, ActivatedStart, ActivatedEnd, Commands
};
inline constexpr size_t kButtonFieldCount = 20;
// Caption and input mask of each field, and the texts of a button's fields, in field order.
extern const std::array<const char*, kButtonFieldCount> kButtonFieldCaptions;
extern const std::array<const char*, kButtonFieldCount> kButtonFieldMasks;
std::vector<std::string> buttonRowTexts(const Button& b);
// Applies a typed field. The text must contain no blank and be accepted by the
// field's rule; otherwise nothing changes. Either way the button is copied into the
// page's button-by-id list at its id. `numSounds` bounds the sound fields (255 =
// no sound is always accepted). Returns true when the value was stored.
bool editButtonCell(Menu& menu, size_t page, size_t bog, size_t index, ButtonField field, std::string_view text,
                    unsigned numSounds);

// Replaces a button's program. Its command count follows, and the page's
// button-by-id list gets the same program (the emulator runs the list's copy).
// Returns false when there is no such button.
bool setButtonCommands(Menu& menu, size_t page, size_t bog, size_t index, hdmv::CommandList commands);

// After structural edits: every count field follows its list, each page's
// button-by-id list is rebuilt from its BOGs, and the coloured-picture cache gets one
// row per object. One call brings the whole model back in step.
// `pictures`, when given, gets one colour-cache row per object again.
void refreshMenu(Menu& menu, MenuPictures* pictures = nullptr);

}  // namespace morvex::igs
