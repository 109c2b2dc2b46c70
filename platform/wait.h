#pragma once

namespace platform {

// Lets the event loop run until at least ms milliseconds have passed on a monotonic clock.
// Handlers may run meanwhile, including the caller's own.
void wait(int ms);

} // namespace platform
