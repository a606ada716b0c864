#include "player/library_lists.h"

#include <algorithm>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "menus/phone_text.h"
#include "player/title_match.h"

namespace quillet {
namespace {

using TextId = LibraryStore::TextId;

constexpr std::u32string_view kLeadingThe = U"the ";

// The sort keys of a store's texts, each made once.
class Keys {
 public:
  explicit Keys(const LibraryStore& store) : store_(store) {}
  // An empty text is an unknown artist's, and sorts where its label does.
  const std::u32string& Of(TextId id) {
    auto it = keys_.find(id);
    if (it == keys_.end()) {
      std::u32string key =
          id == LibraryStore::kEmptyText ? SearchForm(kUnknownArtist) : SortKey(store_.Text(id));
      it = keys_.emplace(id, std::move(key)).first;
    }
    return it->second;
  }
  // By key, then by the exact text, so that names equal but for case or
  // accents keep one order.
  bool Less(TextId a, TextId b) {
    if (a == b) return false;
    const int order = Of(a).compare(Of(b));
    if (order != 0) return order < 0;
    return store_.Text(a) < store_.Text(b);
  }

 private:
  const LibraryStore& store_;
  std::unordered_map<TextId, std::u32string> keys_;
};

// A missing number sorts after every present one.
int Last(int number) {
  return number == kNoNumber ? 0x10000 : number;
}

// Disc, then track; a track without a disc is on the first, and one
// without a number comes after every numbered one.
std::tuple<bool, int, int> Place(const LibraryStore& store, std::uint32_t track) {
  const int disc = store.disc(track);
  const int number = store.number(track);
  return {number == kNoNumber, disc == kNoNumber ? 1 : disc, number};
}

std::u32string Number(int n) {
  std::u32string out;
  for (char c : std::to_string(n)) out += static_cast<char32_t>(c);
  return out;
}

std::u32string Text(const LibraryStore& store, TextId id) {
  return FromUtf16(store.Text(id));
}

}  // namespace

std::u32string SortKey(std::u16string_view name) {
  std::u32string key = SearchForm(FromUtf16(name));
  if (key.size() > kLeadingThe.size() && key.compare(0, kLeadingThe.size(), kLeadingThe) == 0)
    key.erase(0, kLeadingThe.size());
  return key;
}

std::vector<TextId> DistinctArtists(const LibraryStore& store) {
  std::vector<TextId> artists;
  artists.reserve(store.size());
  for (std::size_t i = 0; i < store.size(); ++i)
    artists.push_back(store.Id(i, LibraryField::kArtist));
  // Shared texts have one id each: equal ids are equal names.
  std::sort(artists.begin(), artists.end());
  artists.erase(std::unique(artists.begin(), artists.end()), artists.end());
  Keys keys(store);
  std::sort(artists.begin(), artists.end(), [&](TextId a, TextId b) { return keys.Less(a, b); });
  return artists;
}

std::vector<LibraryAlbum> DistinctAlbums(const LibraryStore& store) {
  std::vector<LibraryAlbum> albums;
  for (std::size_t i = 0; i < store.size(); ++i) {
    const TextId album = store.Id(i, LibraryField::kAlbum);
    if (album != LibraryStore::kEmptyText) albums.push_back({album, store.Credit(i)});
  }
  auto byId = [](const LibraryAlbum& a, const LibraryAlbum& b) {
    return std::tie(a.album, a.credit) < std::tie(b.album, b.credit);
  };
  std::sort(albums.begin(), albums.end(), byId);
  albums.erase(std::unique(albums.begin(), albums.end(),
                           [](const LibraryAlbum& a, const LibraryAlbum& b) {
                             return a.album == b.album && a.credit == b.credit;
                           }),
               albums.end());
  Keys keys(store);
  std::sort(albums.begin(), albums.end(), [&](const LibraryAlbum& a, const LibraryAlbum& b) {
    if (a.album != b.album) return keys.Less(a.album, b.album);
    return keys.Less(a.credit, b.credit);
  });
  return albums;
}

std::vector<ArtistAlbum> AlbumsByYear(const LibraryStore& store) {
  std::unordered_map<TextId, int> years;
  for (std::size_t i = 0; i < store.size(); ++i) {
    const TextId album = store.Id(i, LibraryField::kAlbum);
    if (album == LibraryStore::kEmptyText) continue;
    const int year = store.year(i);
    auto [it, added] = years.emplace(album, year);
    if (!added && year != kNoNumber && (it->second == kNoNumber || year < it->second))
      it->second = year;
  }
  std::vector<ArtistAlbum> albums;
  albums.reserve(years.size());
  for (const auto& [album, year] : years) albums.push_back({album, year});
  Keys keys(store);
  std::sort(albums.begin(), albums.end(), [&](const ArtistAlbum& a, const ArtistAlbum& b) {
    if (a.year != b.year) return Last(a.year) < Last(b.year);
    return keys.Less(a.album, b.album);
  });
  return albums;
}

std::vector<std::uint32_t> AlbumTracks(const LibraryStore& store, TextId album) {
  std::vector<std::uint32_t> tracks;
  for (std::size_t i = 0; i < store.size(); ++i) {
    if (album == LibraryStore::kEmptyText || store.Id(i, LibraryField::kAlbum) == album)
      tracks.push_back(static_cast<std::uint32_t>(i));
  }
  std::stable_sort(tracks.begin(), tracks.end(), [&](std::uint32_t a, std::uint32_t b) {
    return Place(store, a) < Place(store, b);
  });
  return tracks;
}

std::vector<std::uint32_t> SearchOrder(const LibraryStore& store) {
  std::vector<std::uint32_t> tracks(store.size());
  for (std::size_t i = 0; i < tracks.size(); ++i) tracks[i] = static_cast<std::uint32_t>(i);
  Keys keys(store);
  std::stable_sort(tracks.begin(), tracks.end(), [&](std::uint32_t a, std::uint32_t b) {
    const TextId artistA = store.Id(a, LibraryField::kArtist);
    const TextId artistB = store.Id(b, LibraryField::kArtist);
    if (artistA != artistB) return keys.Less(artistA, artistB);
    const TextId albumA = store.Id(a, LibraryField::kAlbum);
    const TextId albumB = store.Id(b, LibraryField::kAlbum);
    if (albumA != albumB) return keys.Less(albumA, albumB);
    return Place(store, a) < Place(store, b);
  });
  return tracks;
}

std::u32string ArtistLabel(const LibraryStore& store, TextId artist) {
  return artist == LibraryStore::kEmptyText ? std::u32string(kUnknownArtist) : Text(store, artist);
}

std::u32string AlbumLabel(const LibraryStore& store, const LibraryAlbum& album) {
  return Text(store, album.album) + U" - " + ArtistLabel(store, album.credit);
}

std::u32string ArtistAlbumLabel(const LibraryStore& store, const ArtistAlbum& album) {
  if (album.year == kNoNumber) return Text(store, album.album);
  return Text(store, album.album) + U" (" + Number(album.year) + U")";
}

std::u32string TrackTitle(const LibraryStore& store, std::uint32_t track) {
  const std::u16string_view title = store.Text(track, LibraryField::kTitle);
  if (!title.empty()) return FromUtf16(title);
  const std::u16string_view file = store.Text(track, LibraryField::kFilename);
  const std::size_t slash = file.find_last_of(u"\\/");
  return FromUtf16(slash == std::u16string_view::npos ? file : file.substr(slash + 1));
}

std::u32string TrackLabel(const LibraryStore& store, std::uint32_t track) {
  const int number = store.number(track);
  const int disc = store.disc(track);
  if (number == kNoNumber) return TrackTitle(store, track);
  std::u32string label = disc > 1 ? Number(disc) + U"-" : std::u32string();
  return label + Number(number) + U". " + TrackTitle(store, track);
}

std::u32string MatchLabel(const LibraryStore& store, std::uint32_t track) {
  return ArtistLabel(store, store.Id(track, LibraryField::kArtist)) + U" - " +
         TrackTitle(store, track);
}

}  // namespace quillet
