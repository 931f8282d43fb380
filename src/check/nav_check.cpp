#include "check/nav_check.h"

#include <string>

#include "check/menu_check.h"

namespace morvex::check {

using core::Severity;

void checkNavigation(std::vector<Finding>& out, const disc::NavigationDisc& disc, const core::FileNames& names) {
  const auto map = disc::walkNavigation(disc);
  Sink index{names.indexfile, out};
  bool complete = true;
  for (const auto& e : map.entries) {
    complete = complete && !e.truncated;
    if (!e.hdmv || e.object < 0 || !e.playsNothing() || e.title == nav::kFirstPlaybackNumber || e.title == 0)
      continue;
    const std::string where = "title " + std::to_string(e.title);
    if (e.loops)
      index.add(Severity::Warning, "index.title.loops-without-playing", where,
                where + " (movie object " + std::to_string(e.object) +
                    ") goes round without end and plays no playlist");
    else
      index.add(Severity::Warning, "index.title.plays-nothing", where,
                where + " (movie object " + std::to_string(e.object) +
                    ") plays no playlist when started with the registers a player starts with");
  }
  if (!complete) return;
  Sink mobj{names.mobjfile, out};
  for (int o : map.unreachableObjects)
    mobj.add(Severity::Warning, "mobj.object.unreachable", "object " + std::to_string(o),
             "movie object " + std::to_string(o) + " is run by no title, jump, call or button");
}

}  // namespace morvex::check
