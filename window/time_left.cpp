#include "window/time_left.h"

#include "platform/text.h"

#include <cmath>

namespace window {

std::optional<long long> MinutesLeft(double elapsed_seconds, std::size_t done, std::size_t total) {
    if (done == 0 || done >= total || !(elapsed_seconds >= 0)) {
        return std::nullopt;
    }
    const double seconds_left =
        elapsed_seconds / static_cast<double>(done) * static_cast<double>(total - done);
    // A whole number of minutes stays as it is: 120 s left is about 2 minutes, not 3.
    const double minutes = std::ceil(seconds_left / 60.0 - 1e-9);
    return minutes < 1 ? 1 : static_cast<long long>(minutes);
}

std::u16string TitleWithTimeLeft(std::optional<long long> minutes) {
    if (!minutes) {
        return u"Pellumo";
    }
    return u"Pellumo 约" + platform::decimal(*minutes) + u"分钟";
}

} // namespace window
