// The clipboard as the viewer uses it: one packed DIB (CF_DIB) put there or copied out. The
// clipboard is held open only inside these calls and closed on every way out.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qelva::win32 {

// Whether the clipboard holds a DIB now.
bool ClipboardHasDib();

// Empties the clipboard and puts the block on it as CF_DIB; the clipboard owns the memory from
// then on. False, leaving the clipboard as it was, when it cannot be opened or the memory cannot
// be had.
bool PutDibOnClipboard(HWND owner, std::span<const uint8_t> packed);

// A copy of the whole CF_DIB block; nothing when the clipboard cannot be opened or holds no DIB.
std::optional<std::vector<uint8_t>> DibBlockOnClipboard(HWND owner);

}  // namespace qelva::win32
