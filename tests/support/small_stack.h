#pragma once

#include <cstddef>
#include <functional>

namespace strovanik::testing {

// Runs `work` on a thread of its own whose stack holds `bytes` (rounded up to what the system
// allows) and waits for it; an exception from `work` is thrown again here. Work that recursed
// as deep as a file asks would overflow such a stack long before an ordinary one.
void runOnSmallStack(std::size_t bytes, const std::function<void()>& work);

}  // namespace strovanik::testing
