#pragma once
// How long a save still takes, from the pace it has kept so far, as the window's title shows it.

#include <cstddef>
#include <optional>
#include <string>

namespace window {

// Whole minutes, rounded up and at least 1, for the `total - done` items still to come at the
// pace of the `done` items in `elapsed_seconds`; nothing before the first item is done or once
// all are.
std::optional<long long> MinutesLeft(double elapsed_seconds, std::size_t done, std::size_t total);

// "Pellumo 约N分钟", or "Pellumo" without an estimate.
std::u16string TitleWithTimeLeft(std::optional<long long> minutes);

} // namespace window
