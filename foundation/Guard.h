// SPDX-License-Identifier: GPL-3.0-or-later
// The guard every action and timer handler runs in: no exception crosses the Qt event loop.
// tAbort is silent; tException shows its message in the error box; anything else shows what().
#pragma once

#include <functional>

void RunGuarded(const std::function<void()>& handler);
