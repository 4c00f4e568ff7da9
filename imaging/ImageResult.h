#pragma once
// Result codes of the imaging layer. The values are the Windows HRESULTs of
// the same meaning, so messages built from them ("Error code: 0x80070057")
// read the same on every platform without pulling in <windows.h>.
#include <cstdint>
#include <string>

namespace zelko {

using HResult = int32_t;

constexpr HResult kOk = 0;
constexpr HResult kFail = HResult(0x80004005u);
constexpr HResult kInvalidArg = HResult(0x80070057u);
constexpr HResult kOutOfMemory = HResult(0x8007000Eu);
constexpr HResult kNotSupported = HResult(0x80070032u); // ERROR_NOT_SUPPORTED
constexpr HResult kHandleEof = HResult(0x80070026u); // data ends before the header says
constexpr HResult kFileNotFound = HResult(0x80070002u);
constexpr HResult kAccessDenied = HResult(0x80070005u);
constexpr HResult kInvalidData = HResult(0x8007000Du);
constexpr HResult kWriteFault = HResult(0x8007001Du);
constexpr HResult kArithmeticOverflow = HResult(0x80070216u);

constexpr bool Succeeded(HResult hr) { return hr >= 0; }
constexpr bool Failed(HResult hr) { return hr < 0; }

// "0x" and lower-case hex digits without leading zeros: 0x80070057, 0x0.
inline std::string HResultHex(HResult hr) {
    static const char digits[] = "0123456789abcdef";
    uint32_t v = uint32_t(hr);
    char buf[8];
    int n = 0;
    do {
        buf[n++] = digits[v & 15];
        v >>= 4;
    } while (v != 0);
    std::string text = "0x";
    while (n > 0) text += buf[--n];
    return text;
}

} // namespace zelko
