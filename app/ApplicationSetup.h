#pragma once

namespace tessaly {

// The application-wide settings of the running program, shared with the tests that
// drive it through the window system.
void configureApplication();

} // namespace tessaly
