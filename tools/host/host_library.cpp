// The host's media library and playlist window, as the start options ask.
#include <cstring>

#include "host_app.h"
#include "log_sink.h"
#include "media_library_records.h"

namespace host {
namespace {

// Titles as the player shows a file it read the tags of.
std::wstring EntryTitle(const std::vector<LibraryTrack>& tracks, const std::wstring& file) {
  const std::u16string wanted(file.begin(), file.end());
  for (const LibraryTrack& t : tracks) {
    if (t.filename != wanted) continue;
    const std::u16string title = t.artist.empty() ? t.title : t.artist + u" - " + t.title;
    return std::wstring(title.begin(), title.end());
  }
  const size_t slash = file.find_last_of(L"\\/");
  return slash == std::wstring::npos ? file : file.substr(slash + 1);
}

std::wstring Utf8ToWide(const std::string& text) {
  const std::u16string units = Utf8ToUtf16(text);
  return std::wstring(units.begin(), units.end());
}

std::string Field(const wchar_t* text) {
  if (!text) return "(null)";
  const std::wstring wide(text);
  return TitleBytes(wide, true);
}

}  // namespace

bool HostApp::LibraryCommand(const std::string& verb, const std::string& arg) {
  if (verb == "library-query") {
    // As a plug-in finds the library: the name's id, then the window.
    const auto id = SendMessageA(window_, WM_USER, reinterpret_cast<WPARAM>(kLibraryName), 65536);
    const auto hwnd =
        reinterpret_cast<HWND>(SendMessageA(window_, WM_USER, static_cast<WPARAM>(-1), id));
    if (!IsWindow(hwnd)) {
      Emit(LogLine("library-query")
               .Word("no-window")
               .Num("id", id)
               .Hex("answer", reinterpret_cast<uintptr_t>(hwnd)));
      return true;
    }
    const std::wstring query = Utf8ToWide(arg);
    MlQueryStructW q = {};
    q.query = const_cast<wchar_t*>(query.c_str());
    const auto result =
        SendMessageW(hwnd, kLibraryMessage, reinterpret_cast<WPARAM>(&q), kRunQueryW);
    for (int i = 0; i < q.results.Size; ++i) {
      const ItemRecordW& r = q.results.Items[i];
      Emit(LogLine("library-query")
               .Word("record")
               .Text("file", Field(r.filename))
               .Text("artist", Field(r.artist))
               .Text("title", Field(r.title))
               .Text("album", Field(r.album))
               .Text("albumartist", Field(r.albumartist))
               .Num("year", r.year)
               .Num("track", r.track)
               .Num("disc", r.disc));
    }
    const int found = q.results.Size;
    const auto freed =
        SendMessageW(hwnd, kLibraryMessage, reinterpret_cast<WPARAM>(&q), kFreeQueryResultsW);
    Emit(LogLine("library-query")
             .Word("done")
             .Num("result", result)
             .Num("found", found)
             .Num("freed", freed));
    return true;
  }
  if (verb == "playlist-insert") {
    // No file after the index: an empty name, which the player ignores.
    const size_t space = arg.find(' ');
    long long index = 0;
    if (!ParseNumber(arg.substr(0, space), &index)) {
      Emit(LogLine("error").Text("op", verb).Text("reason", "needs an index"));
      return true;
    }
    const std::string name = space == std::string::npos ? std::string() : arg.substr(space + 1);
    const auto pe =
        reinterpret_cast<HWND>(SendMessageA(window_, WM_USER, kPlaylistWindowKind, kReqGetWindow));
    FileInfoW info = {};
    const std::wstring file = Utf8ToWide(name);
    std::memcpy(info.file, file.c_str(), sizeof(wchar_t) * (file.size() < 259 ? file.size() : 259));
    info.index = static_cast<int>(index);
    COPYDATASTRUCT data = {kInsertFileNameW, sizeof info, &info};
    const auto taken = SendMessageW(pe, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    Emit(LogLine("playlist-insert")
             .Num("result", taken)
             .Num("entries", static_cast<long long>(model_.length()))
             .Num("position", static_cast<long long>(model_.position())));
    return true;
  }
  return false;
}

bool HostApp::ApplyLibraryOptions() {
  if (options_.no_library) {
    library_.SetAbsent();
  } else if (!options_.library.empty()) {
    std::string error;
    if (!library_.LoadFile(options_.library, &error)) {
      Emit(LogLine("error")
               .Token("op", "library")
               .Text("reason", error)
               .Text("path", options_.library));
      return false;
    }
  } else if (options_.library_tracks > 0) {
    const auto tracks = static_cast<size_t>(options_.library_tracks);
    library_.Assign(GenerateLibrary(tracks, tracks / 20 > 0 ? tracks / 20 : 1));
  }
  return true;
}

void HostApp::InsertFile(long long index, const std::wstring& file) {
  LogLine line("playlist");
  line.Word("insert").Num("index", index).Text("file", TitleBytes(file, true));
  // The player would write before its list: the stand-in says so and
  // inserts at the start.
  if (index < 0) line.Word("negative");
  log_.EmitAfterMessage(line);
  model_.InsertEntry(index < 0 ? 0 : static_cast<size_t>(index),
                     EntryTitle(library_.tracks(), file), file);
}

}  // namespace host
