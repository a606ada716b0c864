#pragma once
// The lists the library's pages show, made from a store of query results:
// the distinct artists and albums, an artist's albums, an album's tracks and
// a search's matches, each in the order the user expects, and the label of
// each entry. Names sort as find compares them (case, accents and marks
// folded away) and without a leading "The ".

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "player/library_store.h"

namespace quillet {

// How a name sorts: its search form without a leading "the ".
std::u32string SortKey(std::u16string_view name);

// The distinct artists by exact text, sorted; kEmptyText stands for the
// tracks without one.
std::vector<LibraryStore::TextId> DistinctArtists(const LibraryStore& store);

// An album is its name and whom it is credited to.
struct LibraryAlbum {
  LibraryStore::TextId album;
  LibraryStore::TextId credit;
};
// Every album with a name, sorted by name, then by credit.
std::vector<LibraryAlbum> DistinctAlbums(const LibraryStore& store);

// One artist's album: its name and earliest year.
struct ArtistAlbum {
  LibraryStore::TextId album;
  int year;
};
// The albums of the store's tracks (one artist's), by year then name; those
// with no year after the dated ones.
std::vector<ArtistAlbum> AlbumsByYear(const LibraryStore& store);

// The tracks of one album (or every track of the store with kEmptyText) in
// disc and track order; tracks without a number after the numbered ones, in
// the order the library gave them.
std::vector<std::uint32_t> AlbumTracks(const LibraryStore& store,
                                       LibraryStore::TextId album = LibraryStore::kEmptyText);
// Every track of the store by artist, album, disc and track.
std::vector<std::uint32_t> SearchOrder(const LibraryStore& store);

// The entries' labels, whole: the page cuts them as any label.
std::u32string ArtistLabel(const LibraryStore& store, LibraryStore::TextId artist);
// "Rumours - Fleetwood Mac".
std::u32string AlbumLabel(const LibraryStore& store, const LibraryAlbum& album);
// "Rumours (1977)", or the name alone.
std::u32string ArtistAlbumLabel(const LibraryStore& store, const ArtistAlbum& album);
// "3. Dreams", "2-3. Dreams" on a disc after the first, "Dreams".
std::u32string TrackLabel(const LibraryStore& store, std::uint32_t track);
// "Fleetwood Mac - Dreams".
std::u32string MatchLabel(const LibraryStore& store, std::uint32_t track);
// The track's title, or its file's name where it has none.
std::u32string TrackTitle(const LibraryStore& store, std::uint32_t track);

// What an empty artist shows.
constexpr char32_t kUnknownArtist[] = U"Unknown artist";

}  // namespace quillet
