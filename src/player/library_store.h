#pragma once
// The tracks a library query answered, as plain records in, and held in a
// compact form: every text once in one pool of UTF-16 units, the texts many
// tracks share (artists, albums) kept once for all of them, and per track
// the ids of the texts kept and three small numbers. A library of 100,000
// tracks then costs little more than its titles and file names, and its artists
// alone about 12 bytes a track.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/library_calls.h"

namespace quillet {

enum class LibraryField : std::uint8_t { kFilename, kTitle, kArtist, kAlbum, kAlbumArtist };
constexpr std::size_t kLibraryFieldCount = 5;

// Which texts a store keeps, by LibraryField bit: a list of artists needs
// no titles.
using LibraryFields = std::uint8_t;
constexpr LibraryFields FieldBit(LibraryField field) {
  return static_cast<LibraryFields>(1u << static_cast<unsigned>(field));
}
constexpr LibraryFields kAllLibraryFields = (1u << kLibraryFieldCount) - 1;

class LibraryStore {
 public:
  // A text's place in the pool; kEmptyText for an absent or empty one, so
  // equal texts of a shared field have equal ids.
  using TextId = std::uint32_t;
  static constexpr TextId kEmptyText = 0;

  explicit LibraryStore(LibraryFields keep = kAllLibraryFields);

  // The fields not kept are stored empty. Numbers outside 1..32767 are
  // stored absent, texts longer than 65535 units cut.
  void Add(const LibraryTrack& track);
  // Everything let go, the memory too.
  void Clear();
  // The build is over: the table that finds shared texts is let go.
  void Seal();

  std::size_t size() const { return numbers_.size(); }
  TextId Id(std::size_t track, LibraryField field) const {
    const int slot = slot_[static_cast<std::size_t>(field)];
    return slot < 0 ? kEmptyText : ids_[track * stride_ + static_cast<std::size_t>(slot)];
  }
  std::u16string_view Text(TextId id) const {
    return std::u16string_view(pool_.data() + id + 1, pool_[id]);
  }
  std::u16string_view Text(std::size_t track, LibraryField field) const {
    return Text(Id(track, field));
  }
  int year(std::size_t track) const { return numbers_[track].year; }
  int number(std::size_t track) const { return numbers_[track].number; }
  int disc(std::size_t track) const { return numbers_[track].disc; }
  // Who the track's album is credited to: its album artist, else its artist.
  TextId Credit(std::size_t track) const;
  // The track as a plain record again.
  LibraryTrack At(std::size_t track) const;

  // The bytes the store holds on the heap, for the memory benchmark.
  std::size_t BytesHeld() const;

 private:
  struct Numbers {
    std::int16_t year;
    std::int16_t number;
    std::int16_t disc;
  };
  TextId Put(std::u16string_view text);
  TextId Shared(std::u16string_view text);

  // Where each field's id lies among a track's, -1 when it is not kept.
  int slot_[kLibraryFieldCount];
  std::size_t stride_ = 0;
  // Each text: its length, then its units.
  std::vector<char16_t> pool_;
  std::vector<TextId> ids_;
  std::vector<Numbers> numbers_;
  // Shared texts by hash, while the store is built.
  std::unordered_multimap<std::size_t, TextId> shared_;
};

}  // namespace quillet
