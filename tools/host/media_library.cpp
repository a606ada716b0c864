#include "media_library.h"

#include <cctype>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "library_query_language.h"
#include "media_library_records.h"
#include "message_window.h"

namespace host {
namespace {

constexpr char kLibraryClass[] = "QuilletHostLibrary";

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the library's texts are UTF-16");

// A text of the library as the record points at it: absent is null. The
// library's texts live as long as the library, as the player's ref-counted
// ones outlive a query's results.
wchar_t* Pointer(const std::u16string& text) {
  if (text.empty()) return nullptr;
  return const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(text.c_str()));
}

int Number(int value) {
  return value < 0 ? -1 : value;
}

void Fill(ItemRecordW* r, const LibraryTrack& t) {
  // Unset numbers are -1; ext stays as the allocation left it, as the
  // player's does.
  wchar_t* const ext = r->ext;
  std::memset(r, 0, sizeof *r);
  r->ext = ext;
  r->filename = Pointer(t.filename);
  r->title = Pointer(t.title);
  r->album = Pointer(t.album);
  r->artist = Pointer(t.artist);
  r->genre = Pointer(t.genre);
  r->albumartist = Pointer(t.albumartist);
  r->year = Number(t.year);
  r->track = Number(t.trackno);
  r->tracks = -1;
  r->length = Number(t.length);
  r->rating = -1;
  r->playcount = -1;
  r->lastplay = r->lastupd = r->filetime = -1;
  r->filesize = r->bitrate = -1;
  r->type = t.type;
  r->disc = Number(t.disc);
  r->discs = r->bpm = -1;
}

bool SameName(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && b[i] == '\0';
}

}  // namespace

MediaLibrary::~MediaLibrary() {
  if (window_) DestroyWindow(window_);
}

bool MediaLibrary::LoadFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open file";
    return false;
  }
  std::ostringstream content;
  content << in.rdbuf();
  std::vector<LibraryTrack> tracks;
  if (!ParseLibrary(content.str(), &tracks, error)) return false;
  tracks_ = std::move(tracks);
  return true;
}

bool MediaLibrary::AnswerPlayer(intptr_t wparam, intptr_t lparam, intptr_t* result) {
  if (lparam == 65536) {
    // The player's name registration: only the library's name is ours.
    std::string name;
    if (!read_text_ || !read_text_(wparam, &name) || !SameName(name, kLibraryName)) return false;
    *result = kLibraryNameId;
    return true;
  }
  if (lparam != kLibraryNameId) return false;
  if (!present_) {
    *result = 1;
    return true;
  }
  *result = reinterpret_cast<intptr_t>(Window(wparam == -1));
  return true;
}

HWND MediaLibrary::Window(bool create) {
  if (window_ || !create) return window_;
  window_ = CreateOwnedMessageWindow(kLibraryClass, "Library", WindowProc, this);
  log_(LogLine("library").Word("window").Hex("hwnd", reinterpret_cast<uintptr_t>(window_)));
  return window_;
}

LRESULT CALLBACK MediaLibrary::WindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<MediaLibrary*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self && msg == kLibraryMessage) {
    void* query = reinterpret_cast<void*>(wparam);
    if (lparam == static_cast<LPARAM>(kRunQueryW)) return self->RunQuery(query);
    if (lparam == static_cast<LPARAM>(kFreeQueryResultsW)) return self->FreeResults(query);
    return 0;
  }
  return DefWindowProcA(window, msg, wparam, lparam);
}

intptr_t MediaLibrary::RunQuery(void* address) {
  auto* q = static_cast<MlQueryStructW*>(address);
  if (!q) return -1;
  const std::u16string text =
      q->query ? std::u16string(reinterpret_cast<const char16_t*>(q->query)) : std::u16string();
  const DWORD began = GetTickCount();
  const LibraryQuery query(text);
  if (!query.ok()) {
    // The player's library returns everything for a query it cannot read.
    log_(LogLine("library")
             .Word("unreadable")
             .Text("query", Utf16ToUtf8(text))
             .Text("reason", query.error()));
  }
  // Results are added to what the structure already holds.
  const int most = q->max_results > 0 ? q->max_results : 0x7fffffff;
  int added = 0;
  for (const LibraryTrack& track : tracks_) {
    if (added >= most) break;
    if (!query.Matches(track)) continue;
    ItemRecordListW& list = q->results;
    if (list.Size >= list.Alloc) {
      const int alloc = list.Alloc < 16 ? 16 : list.Alloc * 2;
      void* grown = std::realloc(list.Items, sizeof(ItemRecordW) * alloc);
      if (!grown) break;
      list.Items = static_cast<ItemRecordW*>(grown);
      list.Alloc = alloc;
    }
    Fill(&list.Items[list.Size++], track);
    ++added;
  }
  log_(LogLine("library")
           .Word("query")
           .Text("query", Utf16ToUtf8(text))
           .Num("found", added)
           .Num("ms", static_cast<long long>(GetTickCount() - began)));
  return 1;
}

intptr_t MediaLibrary::FreeResults(void* address) {
  auto* q = static_cast<MlQueryStructW*>(address);
  if (!q) return -1;
  log_(LogLine("library").Word("free").Num("records", q->results.Size));
  std::free(q->results.Items);
  q->results = ItemRecordListW{};
  return 1;
}

}  // namespace host
