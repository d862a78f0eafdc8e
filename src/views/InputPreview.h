// SPDX-License-Identifier: MIT

#pragma once

#include <string>

#include "protocol/CommandParser.h"

namespace tessel {

// The status bar's account of what Enter would do with a typed line, in the manual's terms
// (Shift-JIS): the kind of request with what it carries, and what keeps part of it or all of
// it from going. `connected` says whether a request would reach the server now.
std::string DescribeTypedLine(const TypedLineIntent& intent, bool connected);

}  // namespace tessel
