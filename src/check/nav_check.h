#pragma once
// The disc checker's findings from the navigation walk: movie objects that nothing
// can run, and titles whose programs play nothing (or go round without end).
#include <vector>

#include "check/checker.h"
#include "core/save.h"
#include "disc/nav_map.h"

namespace morvex::check {

// Walks the disc's navigation and reports under the index and movie-object files.
// Objects are reported only when every entry's walk ran to its end (a walk cut short
// by its bounds has not seen everything).
void checkNavigation(std::vector<Finding>& out, const disc::NavigationDisc& disc, const core::FileNames& names);

}  // namespace morvex::check
