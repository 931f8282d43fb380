#pragma once
// The menu as readable text: composition, pages with effects, BOGs and buttons with
// their command lines, objects and palettes with their references.
#include <string>

#include "igs/model.h"

namespace morvex::igs {

std::string dumpMenu(const Menu& menu);
// "h:mm:ss.zzz" of a 90 kHz time stamp.
std::string clockText(uint64_t ticks);
// The command line of button command r as the command table shows it.
std::string buttonCommandText(const hdmv::Command& c, int r);

}  // namespace morvex::igs
