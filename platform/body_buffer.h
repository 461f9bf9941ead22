#pragma once
// Room for a page's body as it arrives. Growing a long body copies it into fresh memory on the
// window's thread; in pages of 4 KiB that is thousands of page faults at once, each costly in a
// virtual machine, and the window stops answering for a quarter of a second. The room is asked
// for in huge pages where the system gives them on request, so the same growth costs a few.

#include <cstddef>
#include <string>

namespace platform {

// The room to give a body that needs `needed` bytes and has `capacity`, at most `limit`. Small
// bodies grow by doubling, in capacities the limit halved some times (a string's own doubling
// could reach twice the limit). Once past a few MiB a body is taken to be long and gets the
// whole limit at once: fresh memory counts only as it is written, so this costs nothing more,
// and the body is never copied again.
std::size_t NextBodyCapacity(std::size_t needed, std::size_t capacity, std::size_t limit);

// Gives `body` room for `capacity` bytes (at least its size), keeping its content.
void GrowBody(std::string& body, std::size_t capacity);

} // namespace platform
