// CallGuarded: a call into code we do not own, fenced so that a structured
// exception it raises (an access violation, a system function that Wine only
// stubs, an error raised with RaiseException) ends the call, not the process.
//
// Handlers inside the called code still see their exceptions first; only one
// that nothing below handles reaches the fence. The body must not throw C++
// exceptions (it is noexcept), and whatever it had begun is abandoned: it is
// for single calls into system libraries, not for our own code.
//
//     NET_API_STATUS status = 0;
//     if (DWORD code = CallGuarded([&]() noexcept { status = netUserDel(server, user); }))
//         ...   // the call raised exception `code`
#pragma once

#include <windows.h>

#include <type_traits>

#include "fw/Api.h"

// Calls body(context). Returns 0 when the body returned, else the code of the
// structured exception that ended it.
SONVERA_API DWORD CallGuarded(void (*body)(void*) noexcept, void* context);

template <class Body>
DWORD CallGuarded(Body&& body)
{
    using BodyType = std::remove_reference_t<Body>;
    static_assert(noexcept(body()), "a guarded body must not throw");
    return CallGuarded([](void* context) noexcept { (*static_cast<BodyType*>(context))(); }, &body);
}
