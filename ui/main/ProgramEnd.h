#pragma once
#include <cstdio>
#include <string>

#include "app/AppCore.h"

namespace pyx {

// The program's end, whichever way it comes (the Quit of the tray and window menus, the
// application's quit, the session's end): the core's end, which hands the fans this run fixed
// back to the cards when the options ask. What a card refused of it goes to `errors`, as a
// message box at exit would hold the end up or never be seen. The core ends once; later calls
// find nothing left to do.
void EndProgram(AppCore& core, std::FILE* errors = stderr);

// The lines EndProgram writes for the end's writes; empty when the cards took every one.
std::string DescribeEndRefusals(const TuningReport& report);

}  // namespace pyx
