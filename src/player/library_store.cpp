#include "player/library_store.h"

#include <algorithm>
#include <functional>
#include <limits>

namespace quillet {
namespace {

constexpr std::size_t kLongestText = std::numeric_limits<char16_t>::max();

std::int16_t Small(int value) {
  return value >= 1 && value <= std::numeric_limits<std::int16_t>::max()
             ? static_cast<std::int16_t>(value)
             : static_cast<std::int16_t>(kNoNumber);
}

bool IsShared(LibraryField field) {
  return field == LibraryField::kArtist || field == LibraryField::kAlbum ||
         field == LibraryField::kAlbumArtist;
}

}  // namespace

LibraryStore::LibraryStore(LibraryFields keep) {
  for (std::size_t f = 0; f < kLibraryFieldCount; ++f) {
    const bool kept = (keep & FieldBit(static_cast<LibraryField>(f))) != 0;
    slot_[f] = kept ? static_cast<int>(stride_++) : -1;
  }
  Clear();
}

void LibraryStore::Clear() {
  std::vector<char16_t>(1, u'\0').swap(pool_);  // kEmptyText: a text of no units
  std::vector<TextId>().swap(ids_);
  std::vector<Numbers>().swap(numbers_);
  std::unordered_multimap<std::size_t, TextId>().swap(shared_);
}

void LibraryStore::Seal() {
  std::unordered_multimap<std::size_t, TextId>().swap(shared_);
  pool_.shrink_to_fit();
  ids_.shrink_to_fit();
  numbers_.shrink_to_fit();
}

LibraryStore::TextId LibraryStore::Put(std::u16string_view text) {
  if (text.empty()) return kEmptyText;
  text = text.substr(0, kLongestText);
  const auto id = static_cast<TextId>(pool_.size());
  pool_.push_back(static_cast<char16_t>(text.size()));
  pool_.insert(pool_.end(), text.begin(), text.end());
  return id;
}

LibraryStore::TextId LibraryStore::Shared(std::u16string_view text) {
  if (text.empty()) return kEmptyText;
  text = text.substr(0, kLongestText);
  const std::size_t hash = std::hash<std::u16string_view>()(text);
  const auto [from, to] = shared_.equal_range(hash);
  for (auto it = from; it != to; ++it)
    if (Text(it->second) == text) return it->second;
  const TextId id = Put(text);
  shared_.emplace(hash, id);
  return id;
}

void LibraryStore::Add(const LibraryTrack& track) {
  const std::u16string* texts[kLibraryFieldCount] = {&track.filename, &track.title, &track.artist,
                                                     &track.album, &track.albumArtist};
  for (std::size_t f = 0; f < kLibraryFieldCount; ++f) {
    const auto field = static_cast<LibraryField>(f);
    if (slot_[f] >= 0) ids_.push_back(IsShared(field) ? Shared(*texts[f]) : Put(*texts[f]));
  }
  numbers_.push_back({Small(track.year), Small(track.track), Small(track.disc)});
}

LibraryStore::TextId LibraryStore::Credit(std::size_t track) const {
  const TextId albumArtist = Id(track, LibraryField::kAlbumArtist);
  return albumArtist != kEmptyText ? albumArtist : Id(track, LibraryField::kArtist);
}

LibraryTrack LibraryStore::At(std::size_t track) const {
  auto text = [&](LibraryField field) { return std::u16string(Text(track, field)); };
  LibraryTrack out;
  out.filename = text(LibraryField::kFilename);
  out.title = text(LibraryField::kTitle);
  out.artist = text(LibraryField::kArtist);
  out.album = text(LibraryField::kAlbum);
  out.albumArtist = text(LibraryField::kAlbumArtist);
  out.year = year(track);
  out.track = number(track);
  out.disc = disc(track);
  return out;
}

std::size_t LibraryStore::BytesHeld() const {
  // A hash node: the key, the id, the link, and the allocator's header.
  constexpr std::size_t kNodeBytes = 4 * sizeof(void*);
  return pool_.capacity() * sizeof(char16_t) + ids_.capacity() * sizeof(TextId) +
         numbers_.capacity() * sizeof(Numbers) + shared_.size() * kNodeBytes +
         shared_.bucket_count() * sizeof(void*);
}

}  // namespace quillet
