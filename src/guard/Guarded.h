#pragma once

#include <QLoggingCategory>
#include <exception>
#include <source_location>

// Errors the interface swallows. Off by default, so that nothing changes for the user;
// QT_LOGGING_RULES="pathmere.*.debug=true" traces them when a fault is reported.
Q_DECLARE_LOGGING_CATEGORY(lcGuard)

void TraceSwallowed(const std::source_location& where, const char* what) noexcept;

// The interface swallows its errors: each handler runs its body under a guard, and what was
// done before an error stays done.
template <typename Body>
void Guarded(Body&& body, std::source_location where = std::source_location::current()) noexcept {
    try {
        body();
    } catch (const std::exception& error) {
        TraceSwallowed(where, error.what());
    } catch (...) {
        TraceSwallowed(where, "an error of unknown type");
    }
}
