// quillet_menus.h as a C++ plug-in sees it: the header compiles as C++, and
// its records keep the layout the player's Quillet reads.
#include <cstddef>

#include "quillet_menus.h"

namespace {

constexpr bool kPlayerPointers = sizeof(void*) == 4;

static_assert(!kPlayerPointers || sizeof(QuilletMenu) == 64, "menu");
static_assert(!kPlayerPointers || sizeof(QuilletMenuItem) == 104, "item");
static_assert(!kPlayerPointers || sizeof(QuilletValueChange) == 8, "value change");
static_assert(!kPlayerPointers || offsetof(QuilletMenuItem, kind) == 40, "item.kind");
static_assert(!kPlayerPointers || offsetof(QuilletMenuItem, id) == 44, "item.id");
static_assert(!kPlayerPointers || offsetof(QuilletMenuItem, value) == 48, "item.value");
static_assert(!kPlayerPointers || offsetof(QuilletMenuItem, labels) == 52, "item.labels");
static_assert(!kPlayerPointers || offsetof(QuilletMenuItem, prompt) == 56, "item.prompt");
static_assert(!kPlayerPointers || offsetof(QuilletMenuItem, minimum) == 96, "item.minimum");
static_assert(!kPlayerPointers || offsetof(QuilletMenuItem, maximum) == 100, "item.maximum");
static_assert(!kPlayerPointers || offsetof(QuilletMenu, count) == 4, "menu.count");
static_assert(!kPlayerPointers || offsetof(QuilletMenu, selection) == 8, "menu.selection");
static_assert(!kPlayerPointers || offsetof(QuilletMenu, id) == 12, "menu.id");
static_assert(!kPlayerPointers || offsetof(QuilletMenu, parent) == 16, "menu.parent");
static_assert(!kPlayerPointers || offsetof(QuilletMenu, title) == 20, "menu.title");
static_assert(!kPlayerPointers || offsetof(QuilletMenu, text) == 60, "menu.text");

}  // namespace

// A record written the way a C++ author would: aggregate initialisation, the
// enumerators used as plain ints, a writable buffer for a text item.
int QuilletHeaderCppCheck() {
  static char name[11] = "text";
  static QuilletMenuItem items[] = {
      {"Go", QUILLET_COMMAND, 40045, QUILLET_AFTER_NOTHING, nullptr, "", 0, 0},
      {"Name", QUILLET_TEXT, 1001, 0, name, "Name?", 0, sizeof name - 1}};
  static QuilletMenu menu = {items, 2, 0, QUILLET_MAIN_MENU_ID, 0, "C++", nullptr};
  return menu.count + menu.items[1].maximum;
}
