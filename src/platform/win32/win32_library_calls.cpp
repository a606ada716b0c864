#include "platform/win32/win32_library_calls.h"

#include <windows.h>

#include <cstddef>
#include <cstring>

namespace quillet {
namespace {

constexpr UINT kPlayerMessage = WM_USER;
constexpr LPARAM kRegisterName = 65536;
constexpr WPARAM kCreateWindow = static_cast<WPARAM>(-1);
constexpr char kLibraryName[] = "LibraryGetWnd";
constexpr UINT kLibraryMessage = WM_USER + 0x1000;
constexpr LPARAM kRunQueryW = 0x1700;
constexpr LPARAM kFreeQueryResultsW = 0x1705;
constexpr LPARAM kGetWindow = 260;
constexpr WPARAM kPlaylistWindow = 1;
constexpr ULONG_PTR kInsertFileNameW = 114;

// The library's records as the player lays them out.
struct ItemRecordW {
  wchar_t* filename;
  wchar_t* title;
  wchar_t* ext;
  wchar_t* album;
  wchar_t* artist;
  wchar_t* comment;
  wchar_t* genre;
  wchar_t* albumartist;
  wchar_t* replaygainAlbumGain;
  wchar_t* replaygainTrackGain;
  wchar_t* publisher;
  wchar_t* composer;
  int year;
  int track;
  int tracks;
  int length;
  int rating;
  int playcount;
  __int64 lastplay;
  __int64 lastupd;
  __int64 filetime;
  int filesize;
  int bitrate;
  int type;
  int disc;
  int discs;
  int bpm;
  void* extendedInfo;
  wchar_t* category;
};
struct ItemRecordListW {
  ItemRecordW* items;
  int size;
  int alloc;
};
struct MlQueryStructW {
  const wchar_t* query;
  int maxResults;
  ItemRecordListW results;
};
// The playlist's insert record.
struct FileInfoW {
  wchar_t file[kLongestInsertPath + 1];
  int index;
};

// Where pointers are 4 bytes, as in the player.
#define QUILLET_LIBRARY_LAYOUT(condition) \
  static_assert(sizeof(void*) != 4 || (condition), #condition)
QUILLET_LIBRARY_LAYOUT(sizeof(ItemRecordW) == 128);
QUILLET_LIBRARY_LAYOUT(offsetof(ItemRecordW, album) == 12);
QUILLET_LIBRARY_LAYOUT(offsetof(ItemRecordW, artist) == 16);
QUILLET_LIBRARY_LAYOUT(offsetof(ItemRecordW, albumartist) == 28);
QUILLET_LIBRARY_LAYOUT(offsetof(ItemRecordW, year) == 48);
QUILLET_LIBRARY_LAYOUT(offsetof(ItemRecordW, track) == 52);
QUILLET_LIBRARY_LAYOUT(offsetof(ItemRecordW, lastplay) == 72);
QUILLET_LIBRARY_LAYOUT(offsetof(ItemRecordW, filesize) == 96);
QUILLET_LIBRARY_LAYOUT(offsetof(ItemRecordW, disc) == 108);
QUILLET_LIBRARY_LAYOUT(offsetof(ItemRecordW, category) == 124);
QUILLET_LIBRARY_LAYOUT(sizeof(ItemRecordListW) == 12);
QUILLET_LIBRARY_LAYOUT(sizeof(MlQueryStructW) == 20);
QUILLET_LIBRARY_LAYOUT(offsetof(MlQueryStructW, results) == 8);
QUILLET_LIBRARY_LAYOUT(sizeof(FileInfoW) == 524);
QUILLET_LIBRARY_LAYOUT(offsetof(FileInfoW, index) == 520);
QUILLET_LIBRARY_LAYOUT(sizeof(COPYDATASTRUCT) == 12);
#undef QUILLET_LIBRARY_LAYOUT
static_assert(sizeof(wchar_t) == sizeof(char16_t), "the player's texts are UTF-16");

HWND W(Handle h) {
  return reinterpret_cast<HWND>(h);
}

std::u16string Text(const wchar_t* text) {
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

// The library's -1 for a number it lacks, and anything below 0 like it.
int Number(int value) {
  return value < 0 ? kNoNumber : value;
}

}  // namespace

Handle Win32LibraryCalls::FindLibrary(Handle player) {
  const LRESULT id = SendMessageW(W(player), kPlayerMessage, reinterpret_cast<WPARAM>(kLibraryName),
                                  kRegisterName);
  if (id == 0) return kNoHandle;
  const auto window =
      reinterpret_cast<HWND>(SendMessageW(W(player), kPlayerMessage, kCreateWindow, id));
  return IsWindow(window) ? reinterpret_cast<Handle>(window) : kNoHandle;
}

std::intptr_t Win32LibraryCalls::RunQuery(Handle library, std::u16string_view query,
                                          const TrackSink& take, int most) {
  const std::u16string text(query);
  // Results are added to what the structure holds: it starts empty.
  MlQueryStructW request;
  std::memset(&request, 0, sizeof request);
  request.query = reinterpret_cast<const wchar_t*>(text.c_str());
  request.maxResults = most > 0 ? most : 0;
  const LRESULT answer =
      SendMessageW(W(library), kLibraryMessage, reinterpret_cast<WPARAM>(&request), kRunQueryW);
  const ItemRecordListW& list = request.results;
  if (list.items != nullptr) {
    // The records are copied before anything else can fail, and freed on
    // every path, a throwing sink's too.
    struct Free {
      HWND library;
      MlQueryStructW* request;
      ~Free() {
        SendMessageW(library, kLibraryMessage, reinterpret_cast<WPARAM>(request),
                     kFreeQueryResultsW);
      }
    } freed{W(library), &request};
    LibraryTrack track;
    for (int i = 0; i < list.size; ++i) {
      const ItemRecordW& r = list.items[i];
      track.filename = Text(r.filename);
      track.title = Text(r.title);
      track.artist = Text(r.artist);
      track.album = Text(r.album);
      track.albumArtist = Text(r.albumartist);
      track.year = Number(r.year);
      track.track = Number(r.track);
      track.disc = Number(r.disc);
      take(track);
    }
  }
  return answer;
}

Handle Win32LibraryCalls::FindPlaylist(Handle player) {
  const auto window =
      reinterpret_cast<HWND>(SendMessageW(W(player), kPlayerMessage, kPlaylistWindow, kGetWindow));
  return IsWindow(window) ? reinterpret_cast<Handle>(window) : kNoHandle;
}

bool Win32LibraryCalls::InsertFile(Handle playlist, std::u16string_view file, std::int32_t index) {
  if (file.empty() || file.size() > kLongestInsertPath) return false;
  FileInfoW info;
  std::memset(&info, 0, sizeof info);
  std::memcpy(info.file, file.data(), file.size() * sizeof(char16_t));
  // The player does not check the index: one below 0 would write before
  // its list.
  info.index = index < 0 ? 0 : index;
  COPYDATASTRUCT data;
  data.dwData = kInsertFileNameW;
  data.cbData = sizeof info;
  data.lpData = &info;
  SendMessageW(W(playlist), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  return true;
}

}  // namespace quillet
