#pragma once
// The host's window-message interface: every request and command the plug-in
// sends to the player's main window.

#include <cstdint>

namespace quillet::host {

constexpr std::uint32_t kWmUser = 1024;
constexpr std::uint32_t kWmCommand = 0x0111;

// WM_USER requests, by lParam.
constexpr std::intptr_t kRegisterName = 65536;  // wParam: address of the name
constexpr std::intptr_t kVolume = 122;          // wParam: new volume, or kQueryVolume
constexpr std::intptr_t kPlaylistLength = 124;
constexpr std::intptr_t kPlaylistPosition = 125;
constexpr std::intptr_t kEntryTitle = 212;         // wParam: playlist position
constexpr std::intptr_t kEntryTitleUnicode = 213;  // the same title in UTF-16
constexpr std::intptr_t kEntryFileUnicode = 214;   // wParam: position; its file in UTF-16
// Asked of the main window at a track's end and on Next: the entry that
// plays next, or -1 for the player's own choice.
constexpr std::intptr_t kNextItem = 636;
constexpr std::intptr_t kPlayState = 104;    // 0 stopped, 1 playing, 3 paused
constexpr std::intptr_t kSetPosition = 121;  // wParam: playlist position
constexpr std::intptr_t kVideoWindow = 261;  // wParam kVideoShownQuery
constexpr std::intptr_t kGetShuffle = 250;   // 0 off, 1 on
constexpr std::intptr_t kGetRepeat = 251;    // 0 off, 1 on
constexpr std::intptr_t kSetShuffle = 252;   // wParam: not 0 turns it on
constexpr std::intptr_t kSetRepeat = 253;    // wParam: not 0 turns it on
// The rating of the entry at the playlist position, not of the playing file.
constexpr std::intptr_t kSetRating = 639;  // wParam: 0 (none) to 5 stars
constexpr std::intptr_t kGetRating = 640;

constexpr std::uintptr_t kQueryVolume = static_cast<std::uintptr_t>(-666);
constexpr std::uintptr_t kVideoShownQuery = 3;

// WM_COMMAND identifiers.
constexpr std::uintptr_t kCommandPrevious = 40044;
constexpr std::uintptr_t kCommandPlay = 40045;
constexpr std::uintptr_t kCommandPause = 40046;
constexpr std::uintptr_t kCommandStop = 40047;
constexpr std::uintptr_t kCommandNext = 40048;
constexpr std::uintptr_t kCommandForward5s = 40060;
constexpr std::uintptr_t kCommandBack5s = 40061;
constexpr std::uintptr_t kCommandVideoToggle = 40328;
constexpr std::uintptr_t kCommandFullscreen = 40337;

}  // namespace quillet::host
