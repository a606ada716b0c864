// gen_libraryprobe.dll: Quillet's media-library calls against the player's
// library, one "plugin library ..." line per result on the host's output.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "menus/phone_text.h"
#include "platform/win32/win32_library_calls.h"
#include "player/library_lists.h"
#include "player/library_query.h"
#include "player/library_store.h"

namespace {

struct Record {
  int version;
  const char* description;
  int (*init)();
  void (*config)();
  void (*quit)();
  HWND hwndParent;
  HINSTANCE hDllInstance;
};

int Init();
void Nothing() {}

Record g_record = {16, "Library probe", Init, Nothing, Nothing, nullptr, nullptr};

void Say(const std::string& text) {
  const std::string line = "plugin library " + text + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written,
            nullptr);
}

// Quoted as the host's log quotes: \\ and \" escaped.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Utf8(const std::u32string& text) {
  return quillet::ToUtf8(text);
}

// The labels of a request's records as Quillet keeps them, in search order.
void Ask(quillet::LibraryCalls& calls, quillet::Handle library, const char* what,
         const quillet::LibraryRequest& request) {
  quillet::LibraryStore store;
  const std::intptr_t answer =
      calls.RunQuery(library, request.query(), [&](const quillet::LibraryTrack& track) {
        if (request.Keeps(track)) store.Add(track);
      });
  std::string labels;
  for (std::uint32_t track : quillet::SearchOrder(store))
    labels += (labels.empty() ? "" : "|") + Utf8(quillet::MatchLabel(store, track));
  Say(std::string("query what=") + what + " answer=" + std::to_string(answer) +
      " kept=" + std::to_string(store.size()) + " labels=" + Quoted(labels));
}

int Init() {
  quillet::Win32LibraryCalls calls;
  const auto player = reinterpret_cast<quillet::Handle>(g_record.hwndParent);
  const quillet::Handle library = calls.FindLibrary(player);
  Say(std::string("window found=") + (library != quillet::kNoHandle ? "yes" : "no"));
  if (library != quillet::kNoHandle) {
    Ask(calls, library, "acdc",
        quillet::LibraryRequest::ByArtist(u"AC/DC \"Live\" (1991) #1 100%"));
    Ask(calls, library, "unknown", quillet::LibraryRequest::ByArtist(u""));
    Ask(calls, library, "rumours", quillet::LibraryRequest::ByAlbum(u"Rumours", u"Fleetwood Mac"));
    Ask(calls, library, "search",
        quillet::LibraryRequest::Search(quillet::SearchWords(U"the MAC")));
    // An artist's albums by year, and one album's tracks by disc and number.
    const auto mac = quillet::LibraryRequest::ByArtist(u"Fleetwood Mac");
    quillet::LibraryStore store;
    calls.RunQuery(library, mac.query(), [&](const quillet::LibraryTrack& track) {
      if (mac.Keeps(track)) store.Add(track);
    });
    std::string albums;
    std::string tracks;
    for (const quillet::ArtistAlbum& album : quillet::AlbumsByYear(store)) {
      albums += (albums.empty() ? "" : "|") + Utf8(quillet::ArtistAlbumLabel(store, album));
      if (store.Text(album.album) != u"Tusk") continue;
      for (std::uint32_t track : quillet::AlbumTracks(store, album.album))
        tracks += (tracks.empty() ? "" : "|") + Utf8(quillet::TrackLabel(store, track));
    }
    Say("albums labels=" + Quoted(albums) + " tusk=" + Quoted(tracks));
    quillet::LibraryStore artists(quillet::FieldBit(quillet::LibraryField::kArtist));
    calls.RunQuery(library, quillet::LibraryRequest::AudioItems().query(),
                   [&](const quillet::LibraryTrack& track) { artists.Add(track); });
    std::string labels;
    for (auto id : quillet::DistinctArtists(artists))
      labels += (labels.empty() ? "" : "|") + Utf8(quillet::ArtistLabel(artists, id));
    Say("artists labels=" + Quoted(labels));
  }
  const quillet::Handle playlist = calls.FindPlaylist(player);
  const bool inserted =
      playlist != quillet::kNoHandle &&
      calls.InsertFile(playlist, u"C:\\Music\\Fleetwood Mac\\Rumours\\02 Dreams.mp3", -3);
  const bool tooLong =
      playlist != quillet::kNoHandle && calls.InsertFile(playlist, std::u16string(260, u'x'), 0);
  Say(std::string("insert sent=") + (inserted ? "yes" : "no") +
      " too_long_sent=" + (tooLong ? "yes" : "no"));
  return 0;
}

}  // namespace

extern "C" __declspec(dllexport) Record* winampGetGeneralPurposePlugin() {
  return &g_record;
}
