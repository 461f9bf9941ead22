#include "platform/unhandled_error.h"

#include "platform/message_box.h"
#include "platform/text.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace platform {

std::u16string unhandled_error_text(const std::exception_ptr& error) {
    std::u16string description = u"未知错误";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        if (*e.what() != '\0') {
            description = utf8_to_utf16(e.what());
        }
    } catch (...) {
    }
    return u"运行时错误\n\n" + description;
}

void report_unhandled_error(const std::exception_ptr& error) noexcept {
    try {
        const std::u16string text = unhandled_error_text(error);
        std::fprintf(stderr, "Pellumo: %s\n", utf16_to_utf8(text).c_str());
        MsgBox(text);
    } catch (...) {
        // The report itself failed; ending the program is all that is left.
    }
    std::fflush(nullptr);
    // Skip static destructors: GTK may be in the middle of dispatching an event.
    std::_Exit(EXIT_FAILURE);
}

} // namespace platform
