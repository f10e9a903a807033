// The barrier at the COM boundary. Every method a COM client can call runs its body through
// Guard, so no C++ exception reaches a caller that cannot take one: running out of memory
// answers E_OUTOFMEMORY, anything else E_UNEXPECTED. A body that throws must leave its object
// usable, which the framework's methods do by changing their object only after the steps that
// can fail.
#pragma once

#include <new>
#include <utility>

#include "framework/Com.h"

// The body's own HRESULT, or the failure its exception stands for.
template <class Body>
HRESULT Guard(Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}
