// What the media library's lists cost on the stand-in's generated library of
// 100,000 tracks by 5,000 artists: the bytes the compact store holds per
// track (every field, and the artists alone), and the CPU time of copying a
// query's records in and making each list from them; and what the library's
// pages hold while the user browses an artist and after leaving them.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "library_tracks.h"
#include "menus/built_in_menus.h"
#include "platform/fake/fake_library_calls.h"
#include "platform/fake/fake_platform.h"
#include "player/host_window.h"
#include "player/library_lists.h"
#include "player/library_pages.h"
#include "player/library_store.h"

namespace {

constexpr std::size_t kTracks = 100000;
constexpr std::size_t kArtists = 5000;

const std::vector<quillet::LibraryTrack>& Tracks() {
  static const std::vector<quillet::LibraryTrack> tracks = [] {
    std::vector<quillet::LibraryTrack> out;
    for (const host::LibraryTrack& h : host::GenerateLibrary(kTracks, kArtists)) {
      quillet::LibraryTrack t;
      t.filename = h.filename;
      t.title = h.title;
      t.artist = h.artist;
      t.album = h.album;
      t.albumArtist = h.albumartist;
      t.year = h.year;
      t.track = h.trackno;
      t.disc = h.disc;
      out.push_back(std::move(t));
    }
    return out;
  }();
  return tracks;
}

quillet::LibraryStore Filled(quillet::LibraryFields keep) {
  quillet::LibraryStore store(keep);
  for (const quillet::LibraryTrack& t : Tracks()) store.Add(t);
  store.Seal();
  return store;
}

void BM_LibraryStore(benchmark::State& state) {
  const auto keep = static_cast<quillet::LibraryFields>(state.range(0));
  std::size_t bytes = 0;
  for (auto _ : state) bytes = Filled(keep).BytesHeld();
  state.counters["bytes_per_track"] = double(bytes) / double(kTracks);
}
BENCHMARK(BM_LibraryStore)
    ->Arg(quillet::kAllLibraryFields)
    ->Arg(quillet::FieldBit(quillet::LibraryField::kArtist))
    ->Unit(benchmark::kMillisecond);

void BM_LibraryLists(benchmark::State& state) {
  const quillet::LibraryStore store = Filled(quillet::kAllLibraryFields);
  std::size_t made = 0;
  for (auto _ : state) {
    switch (state.range(0)) {
      case 0:
        made = quillet::DistinctArtists(store).size();
        break;
      case 1:
        made = quillet::DistinctAlbums(store).size();
        break;
      default:
        made = quillet::SearchOrder(store).size();
    }
    benchmark::DoNotOptimize(made);
  }
  state.SetLabel(state.range(0) == 0 ? "artists" : state.range(0) == 1 ? "albums" : "search order");
  state.counters["entries"] = double(made);
}
BENCHMARK(BM_LibraryLists)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Artists, the first artist, then the main menu: the bytes the pages hold
// per track on the artists' page and on the artist's, and in all after
// leaving (the last search text aside, nothing).
void BM_LibraryPagesHeld(benchmark::State& state) {
  quillet::fake::FakePlatform os;
  quillet::BuiltInMenus menus;
  quillet::HostWindow host(os, 0x4242);
  quillet::fake::FakeLibraryCalls calls;
  calls.tracks = Tracks();
  quillet::LibraryPages pages(os, menus, host, &calls);
  std::size_t artists = 0, artist = 0, left = 0;
  for (auto _ : state) {
    pages.Page(quillet::kLibraryMenuId);
    // Down the first ranges to the first artist.
    quillet::Menu* page = pages.Page(quillet::kLibraryArtistsId);
    artists = pages.BytesHeld();
    for (int depth = 0; depth < 8 && std::string(page->title) == "Artists"; ++depth) {
      // Below the top the ranges follow "<<<".
      const bool previous = std::string(page->items[0].name) == "<<<";
      page = pages.Page(quillet::kLibraryFirstPickId + (previous ? 1 : 0));
    }
    artist = pages.BytesHeld();
    pages.Leave();
    left = pages.BytesHeld();
  }
  state.counters["artists_bytes_per_track"] = double(artists) / double(kTracks);
  state.counters["artist_bytes_per_track"] = double(artist) / double(kTracks);
  state.counters["bytes_after_leaving"] = double(left);
}
BENCHMARK(BM_LibraryPagesHeld)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
