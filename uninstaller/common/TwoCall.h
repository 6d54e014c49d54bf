#pragma once
// The two-call size protocol of the spooler, the service manager and the
// setup library: a call first without a buffer to learn the size in bytes,
// then with a buffer of that size. One rule for every caller: a call that
// fails means "can't tell", never "nothing there". A caller that must keep
// things when it can't tell does so; one that knows an error to mean
// "nothing" (an environment the spooler doesn't have) asks GetLastError.

#include <windows.h>

#include <optional>
#include <vector>

// `call(buffer, size, &needed)` makes the call and returns whether it
// succeeded. The bytes it filled; none when the call succeeds without a
// buffer (there is nothing); nothing at all when a call fails otherwise,
// with the call's own error left for GetLastError.
template <typename Call>
std::optional<std::vector<BYTE>> QueryTwice(Call call)
{
    DWORD needed = 0;
    if (call(nullptr, 0, &needed))
        return std::vector<BYTE>{};
    // A list that grows between the two calls is asked for again.
    for (int round = 0; round < 3; ++round) {
        const DWORD error = GetLastError();
        if ((error != ERROR_INSUFFICIENT_BUFFER && error != ERROR_MORE_DATA) || needed == 0) {
            SetLastError(error == ERROR_SUCCESS ? ERROR_INVALID_DATA : error);
            return std::nullopt;
        }
        std::vector<BYTE> buffer(needed, 0);
        if (call(buffer.data(), needed, &needed))
            return buffer;
    }
    return std::nullopt;
}
