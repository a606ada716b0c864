#pragma once
// The playlist as pages of decimal groups: the top page splits it into at
// most ten groups of a power of ten entries, each choice descends one digit,
// down to single entries, which become the player's current entry. Every page
// is one of two built-in records rebuilt in place, and every step is a menu
// id, so the walk runs through the ordinary menu opening.

#include <cstdint>

#include "menus/built_in_menus.h"
#include "menus/menu_texts.h"
#include "player/host_window.h"

namespace quillet {

class PlaylistPages {
 public:
  PlaylistPages(BuiltInMenus& menus, HostWindow& host, MenuTexts* texts = nullptr)
      : menus_(menus), host_(host), texts_(texts) {}
  void UseTexts(MenuTexts* texts) { texts_ = texts; }

  // The page for id 11 (the playlist from its top) or a page id: a step from
  // the page shown, or the empty-playlist notice.
  Menu* Page(std::int32_t id);

  // Whether `id` is a page id here: one up to kLastAlwaysPlaylistPageId, or
  // a deeper level's while the last page built was of a playlist that deep.
  bool Serves(std::int32_t id) const;

  // The playlist index the pages are built around.
  std::int32_t cursor() const { return static_cast<std::int32_t>(cursor_); }

  // The phone shows `current`: when it is a page of these, a refusal of
  // the next one builds it again.
  void Taken(const Menu* current);
  // The phone kept the page it showed: the cursor, and the page's record,
  // as they were then.
  void Refused();

 private:
  // Makes entry `index` the player's current one; plays it unless stopped.
  void Jump(std::int64_t index);
  // The empty-playlist notice.
  Menu* Empty();
  // Fills the page of the level-`level` block holding the cursor.
  Menu* Fill(std::int64_t length, int levels, int level, std::int64_t groupSize);

  BuiltInMenus& menus_;
  HostWindow& host_;
  MenuTexts* texts_;
  std::int64_t cursor_ = 0;
  int levels_ = 0;  // of the playlist the last page was built for

  // What a page is built from.
  struct Build {
    std::int64_t cursor = 0;
    std::int64_t length = 0;
    int levels = 0;
    int level = -1;  // -1: no page
  };
  Build built_;  // the last page filled
  Build shown_;  // the phone's
};

}  // namespace quillet
