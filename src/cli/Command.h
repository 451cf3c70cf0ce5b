#pragma once

// The parlune command line: each subsystem registers its commands from its own file.

#include <functional>
#include <string>
#include <vector>

namespace parlune::cli {

struct Command {
    std::string name;   // first word on the command line
    std::string usage;  // lines for --help, one per form, e.g. "dictionary add WORD   add a word"
    // Runs with the arguments after the name; returns the exit status.
    std::function<int(const std::vector<std::string>& arguments)> run;
};

// Adds a command at start-up: `static const bool registered = registerCommand({...});`
bool registerCommand(Command command);
const std::vector<Command>& commands();

// Prints "parlune: MESSAGE" and the usage on standard error; returns exit status 2.
int usageError(const std::string& message);

}  // namespace parlune::cli
