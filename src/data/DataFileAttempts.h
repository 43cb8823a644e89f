// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/AppContext.h"
#include "app/DelayTenths.h"

#include <algorithm>

// One file operation tried up to `tries` times, waiting `delayTenths` after every failed attempt (the last
// one included) while window events go on being processed. True as soon as one attempt succeeds.
template <class Operation> bool attemptFileOperation(AppContext& ctx, int tries, int delayTenths, Operation&& operation)
{
    for (int i = 0; i < std::max(tries, 1); ++i) {
        if (operation())
            return true;
        DelayTenths(ctx.services.clock, ctx.services.pump, delayTenths);
    }
    return false;
}
