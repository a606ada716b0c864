// The player's playlist window as plug-ins reach it: the main window hands
// out its handle (IPC_GETWND with IPC_GETWND_PE), and it takes a file to
// insert by WM_COPYDATA (IPC_PE_INSERTFILENAMEW) with the record the player
// reads, whatever size the sender claims.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace host {

constexpr intptr_t kReqGetWindow = 260;
constexpr intptr_t kPlaylistWindowKind = 1;
constexpr ULONG_PTR kInsertFileNameW = 114;
constexpr size_t kPathUnits = 260;

// IPC_PE_INSERTFILENAMEW's record.
struct FileInfoW {
  wchar_t file[kPathUnits];
  int index;
};
static_assert(sizeof(FileInfoW) == 524, "the player's insert record");
static_assert(offsetof(FileInfoW, index) == 520, "the player's insert record");

class PlaylistWindow {
 public:
  // Called with the index as sent (a negative one would corrupt the
  // player's memory) and the file's name.
  using Inserter = std::function<void(long long index, const std::wstring& file)>;

  explicit PlaylistWindow(Inserter insert) : insert_(std::move(insert)) {}
  ~PlaylistWindow();
  PlaylistWindow(const PlaylistWindow&) = delete;
  PlaylistWindow& operator=(const PlaylistWindow&) = delete;

  // The main window's IPC_GETWND for the playlist: its handle, the window
  // made on first use. False for every other request.
  bool AnswerPlayer(intptr_t wparam, intptr_t lparam, intptr_t* result);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT Insert(const COPYDATASTRUCT& data);

  Inserter insert_;
  HWND window_ = nullptr;
};

}  // namespace host
