// SPDX-License-Identifier: MIT

#pragma once

namespace tessel {

// tessel-term: the client core with standard input as its input pane and standard output as
// its display pane. Returns the process exit code.
int RunTerm(int argc, char** argv);

}  // namespace tessel
