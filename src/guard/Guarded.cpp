#include "guard/Guarded.h"

Q_LOGGING_CATEGORY(lcGuard, "pathmere.guard", QtInfoMsg)

void TraceSwallowed(const std::source_location& where, const char* what) noexcept {
    try {
        qCDebug(lcGuard, "swallowed in %s (%s:%u): %s", where.function_name(), where.file_name(),
                static_cast<unsigned>(where.line()), what);
    } catch (...) {
        // Tracing must never add an error of its own.
    }
}
