#pragma once
// Closing the window while an operation waits must unwind that operation before the window
// goes away. The close handler raises this flag; every wait returns early once it is up, and
// work running on other threads reads it too.

namespace platform {

void request_quit();
bool quit_requested();
// Only tests lower it again, to run several windows in one process.
void reset_quit_request();

} // namespace platform
