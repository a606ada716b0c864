// What the media library's lists cost on the stand-in's generated library of
// 100,000 tracks by 5,000 artists: the bytes the compact store holds per
// track (every field, and the artists alone), and the CPU time of copying a
// query's records in and making each list from them.

#include <benchmark/benchmark.h>

#include <vector>

#include "library_tracks.h"
#include "player/library_lists.h"
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

}  // namespace

BENCHMARK_MAIN();
