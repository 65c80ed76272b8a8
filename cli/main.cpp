#include <iostream>
#include <string>
#include <vector>

#include "app/CoreTexts.h"
#include "cli/Cli.h"
#include "platform/TextLanguage.h"

int main(int argc, char** argv) {
    // The core's texts in the language of the user's locale, as the window shows them.
    pyx::CoreTexts::SetLanguage(UserTextLanguage());
    std::vector<std::string> args(argv + 1, argv + argc);
    return pyx::RunCli(args, std::cout, std::cerr);
}
