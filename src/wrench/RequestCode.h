// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace zelcor {

// A new four-digit request number for every Get, "0001" to "9999" and round again. The last
// one handed out is kept in the user's settings, so two Gets, in one run or in two, never
// give the factory the same code by chance.
std::string NextRequestCode();

} // namespace zelcor
