#pragma once

// Runs a program of the PC (aapt, ldd) with an argument list and collects what it prints.

#include <string>
#include <vector>

namespace phonesim {

// Returns the exit code, or -1 when the program could not be started; output gets stdout and stderr.
int runHostProgram(const std::vector<std::string> &argv, std::string &output, const std::string &cwd = {});

} // namespace phonesim
