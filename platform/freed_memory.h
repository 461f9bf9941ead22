#pragma once
// Memory the program has freed goes back to the system only when the C library decides; after
// a very long page that can be long after, and the next page's work then comes on top of it.

namespace platform {

// Gives what is free in the C library's heaps back to the system now.
void ReturnFreedMemory();

} // namespace platform
