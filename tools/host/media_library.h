// The stand-in media library: the player's main window hands out its window
// through the registered name "LibraryGetWnd", and that window answers the
// library's query and free requests (WM_ML_IPC) as the player's own library
// does, with records laid out byte for byte. Without a library the name's
// id is answered 1, as a player without one answers any unknown request.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "library_tracks.h"
#include "log_line.h"

namespace host {

// The library's window message and its requests.
constexpr UINT kLibraryMessage = WM_USER + 0x1000;
constexpr WPARAM kRunQueryW = 0x1700;
constexpr WPARAM kFreeQueryResultsW = 0x1705;
// What the main window's name registration answers for the library's name:
// above 65536, as the player's registered ids are.
constexpr intptr_t kLibraryNameId = 65536 + 0x100;
constexpr char kLibraryName[] = "LibraryGetWnd";

class MediaLibrary {
 public:
  using TextReader = std::function<bool(intptr_t address, std::string* text)>;
  using Logger = std::function<void(LogLine line)>;

  MediaLibrary(TextReader reader, Logger log)
      : read_text_(std::move(reader)), log_(std::move(log)) {}
  ~MediaLibrary();
  MediaLibrary(const MediaLibrary&) = delete;
  MediaLibrary& operator=(const MediaLibrary&) = delete;

  // No library at all: no window, and the name's id answered 1.
  void SetAbsent() { present_ = false; }
  bool present() const { return present_; }
  void Assign(std::vector<LibraryTrack> tracks) { tracks_ = std::move(tracks); }
  bool LoadFile(const std::string& path, std::string* error);
  size_t size() const { return tracks_.size(); }
  const std::vector<LibraryTrack>& tracks() const { return tracks_; }

  // A WM_USER request to the main window that is the library's: the name's
  // registration, or the name's id (wparam -1 creates the window, 0 only
  // asks for it). False for every other request.
  bool AnswerPlayer(intptr_t wparam, intptr_t lparam, intptr_t* result);

  // The library window's two requests, on the structure at `query`.
  intptr_t RunQuery(void* query);
  intptr_t FreeResults(void* query);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);
  HWND Window(bool create);

  TextReader read_text_;
  Logger log_;
  bool present_ = true;
  std::vector<LibraryTrack> tracks_;
  HWND window_ = nullptr;
};

}  // namespace host
