// parlune: the command line front door.

#include "cli/Command.h"
#include "core/shell/AppDelegate.h"
#include "ui/DesktopMain.h"

#include <iostream>
#include <string>
#include <vector>

namespace parlune::cli {
namespace {

std::vector<Command>& registry() {
    static std::vector<Command> instance;
    return instance;
}

void printUsage(std::ostream& out) {
    out << "Usage: parlune [parlune://URL]\n       parlune COMMAND [ARGUMENTS]\n\nHold-to-talk dictation for the Linux desktop.\n"
           "Without a command, starts the desktop application (or brings the running one forward and\n"
           "hands it the URL).\n\nCommands:\n";
    for (const auto& command : registry()) out << command.usage;
    out << "\nOptions:\n"
           "  --help                     show this help\n"
           "  --version                  print the version\n"
           "\nSettings live in $XDG_CONFIG_HOME/parlune/settings.json (default ~/.config/parlune/settings.json).\n";
}

}  // namespace

bool registerCommand(Command command) {
    registry().push_back(std::move(command));
    return true;
}

const std::vector<Command>& commands() { return registry(); }

int usageError(const std::string& message) {
    std::cerr << "parlune: " << message << "\n\n";
    printUsage(std::cerr);
    return 2;
}

}  // namespace parlune::cli

int main(int argc, char** argv) {
    using namespace parlune::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    // No command, or a URL (the scheme handler's "parlune %u"): the desktop application.
    if (args.empty() || parlune::AppDelegate::schemeOf(args[0])) return parlune::runDesktopApplication(argc, argv, args);
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printUsage(std::cout);
        return 0;
    }
    if (args[0] == "--version") {
        std::cout << "parlune " << PARLUNE_VERSION << '\n';
        return 0;
    }
    for (const auto& command : commands()) {
        if (command.name == args[0]) return command.run(std::vector<std::string>(args.begin() + 1, args.end()));
    }
    return usageError("unknown command '" + args[0] + "'");
}
