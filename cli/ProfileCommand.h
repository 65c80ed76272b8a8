#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace pyx {

// pyxtunectl profile save|load|show FILE: the settings file of every GPU written from the
// cards, read and applied to them, or shown as read. save and load without FILE use the
// program's own "Preformance.txt" in the settings folder.
int RunProfileCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pyx
