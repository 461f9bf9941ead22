#pragma once
// Opens an address in the user's default browser, in the background.

#include <functional>
#include <string_view>

namespace platform {

// Starts the default handler for the address and returns at once; a failure to start it is
// ignored.
void open_in_background(std::u16string_view address);

// Replaces the launcher, for tests; an empty handler brings the real one back.
void set_shell_handler(std::function<void(std::u16string_view address)> handler);

} // namespace platform
