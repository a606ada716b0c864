#pragma once
// Small operations on menu items that presentation, dialogs and the player's
// menus share. Records may come from other plug-ins, so every read stays
// within what the layout guarantees.

#include <cstdint>
#include <string>

#include "menus/label_limits.h"
#include "menus/menu_record.h"

namespace quillet {

// A fixed text field up to its terminator, or all of it when it has none.
std::string FieldText(const char (&field)[kFieldSize]);
// Copies `text` into a fixed field, cut to fit with its terminator.
void SetFieldText(char (&field)[kFieldSize], const std::string& text);
// printf into a name field: whole when it fits in kLongestLabel characters,
// else its first kLabelKeep and the cut mark. Allocates nothing, for pages
// built in place.
void FormatLabel(char (&field)[kFieldSize], const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// The items that can be read: none when `items` is null or `count` negative.
std::int32_t ItemCount(const Menu& menu);

// The first of the menu's items with this id, or null.
MenuItem* FindItem(Menu& menu, std::int32_t id);

// Where `x` lies on the item's scale of 0 to 10 steps; a range of 10 or less
// is shown in its own units.
std::int32_t ToSteps(std::int32_t x, const MenuItem& item);
// The Level value for a percentage.
std::int32_t FromPercent(std::int32_t percent, const MenuItem& item);
// The text in a Text item's buffer, which holds `maximum` characters and a
// NUL: read no further than that.
std::string TextBuffer(const MenuItem& item);
// Label number n of a Choice item: the first for n <= 0, the last past the end.
const char* LabelAt(std::int32_t n, const MenuItem& item);

}  // namespace quillet
