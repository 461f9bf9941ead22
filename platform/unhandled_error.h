#pragma once
// Every handler that GTK calls runs its body through guarded(): an exception that nothing
// handled is reported in a message box and ends the program, instead of unwinding into C code.

#include <exception>
#include <string>
#include <utility>

namespace platform {

// The report's text for an exception: its description, or a fixed text when it has none.
std::u16string unhandled_error_text(const std::exception_ptr& error);

// Shows the report (title "Pellumo") and ends the program with a non-zero status.
[[noreturn]] void report_unhandled_error(const std::exception_ptr& error) noexcept;

template <class Body> void guarded(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
        report_unhandled_error(std::current_exception());
    }
}

// For handlers that answer GTK with a value; the fallback is never used, since a failure ends
// the program, but keeps the signature honest.
template <class Result, class Body> Result guarded_or(Result fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        report_unhandled_error(std::current_exception());
    }
    return fallback;
}

} // namespace platform
