#pragma once

// The interface swallows its errors: each handler runs its body under a guard, and what was
// done before an error stays done.
template <typename Body> void Guarded(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}
