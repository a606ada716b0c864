/* Quillet menus for other plug-ins.
 *
 * A general-purpose plug-in loaded in the same player can put menus of its
 * own on the phone through Quillet. It registers the four message names below
 * with the player (WM_USER, wParam = the name's address, lParam =
 * QUILLET_REGISTER_NAME; the result is the message id), subclasses the
 * player's main window, and answers:
 *
 *   WM_USER, lParam = id of QUILLET_LOAD_MENU, wParam = a menu id:
 *       return the address of a QuilletMenu for an id it owns, or pass the
 *       message on (0 comes back when nobody supplies the menu). wParam is
 *       QUILLET_MAIN_MENU_ID when the user opens the accessory menu: a record
 *       returned for it replaces Quillet's own main menu, unless the user set
 *       PluginMenus=1 in Quillet's plugin.ini.
 *   WM_USER, lParam = id of QUILLET_MENU_CLOSED, wParam = a QuilletMenu*:
 *       the menu it supplied is no longer shown. Sent only for records whose
 *       id is QUILLET_MAIN_MENU_ID or more.
 *   WM_USER, lParam = id of QUILLET_VALUE_CHANGED, wParam = a
 *       QuilletValueChange*: the user set a value of one of its items. The
 *       record lives only while the message is handled.
 *
 * Pass every other message on. All of these arrive on the player's window
 * thread.
 *
 * Ids: ids below 1000 are Quillet's own (10 opens its main menu, for
 * instance). Ids of 1000 and more inside a supplied record are the supplier's:
 * Quillet translates them by the difference between the id it asked for and
 * the record's own id before it uses them, so a menu answered for id 1000 may
 * carry id 2000, and its sub-menu item 2001 is then asked for as 1001.
 *
 * Lifetime: a supplied record, its item array and every buffer its items
 * point to stay the supplier's. The supplier keeps all of them valid and
 * unchanged in layout from its LoadMenu answer until it has been told that
 * the record is closed (QUILLET_MENU_CLOSED with the record's address), or
 * until Quillet's quit has returned, whichever comes first. Some records are
 * never told: those whose own id is below 1000, and the one on the phone when
 * Quillet quits. So keep records in static storage, never free them in your
 * own quit, and if your quit may come before Quillet's while a record is
 * still out, keep your module loaded (tools/sample_menu pins it).
 *
 * Quillet writes into a record it holds: the menu's `selection`, items'
 * `value`, the text buffer of QUILLET_TEXT items (at most `maximum`
 * characters and a NUL), and, when closing, the menu's `id` (back to the id
 * it was asked for).
 *
 * Texts are NUL-terminated ANSI. Quillet shows a double quote as an
 * apostrophe and a control character as a blank.
 *
 * The layout is binding on the 32-bit player: every field 4 bytes or a fixed
 * 40-byte text, no gaps. This header is plain C89 and C++. */
#ifndef QUILLET_MENUS_H
#define QUILLET_MENUS_H

#include <stddef.h>

/* The registered message names. */
#define QUILLET_QUERY_MENU "Quillet_QueryMenu"
#define QUILLET_LOAD_MENU "Quillet_LoadMenu"
#define QUILLET_VALUE_CHANGED "Quillet_ValueChanged"
#define QUILLET_MENU_CLOSED "Quillet_MenuClosed"

/* lParam of the player's name-registration request. */
#define QUILLET_REGISTER_NAME 65536
/* The menu id asked for when the user opens the accessory menu. */
#define QUILLET_MAIN_MENU_ID 1000

#define QUILLET_FIELD_SIZE 40 /* name, title and prompt, NUL included */

/* What an item is (its `kind`). Any other value makes an item inert. */
enum QuilletItemKind {
  QUILLET_COMMAND = 0, /* posts WM_COMMAND `id`; `value` says what follows */
  QUILLET_SUBMENU = 1, /* opens menu `id` */
  QUILLET_LEVEL = 2,   /* `value` in `minimum`..`maximum`, shown in steps */
  QUILLET_CHOICE = 3,  /* `value` picks one of `maximum` labels in `labels` */
  QUILLET_SWITCH = 4,  /* `value` 0 off, anything else on */
  QUILLET_NUMBER = 5,  /* `value` in `minimum`..`maximum`, asked with `prompt` */
  QUILLET_TEXT = 6     /* `labels` is a buffer of `maximum` + 1 bytes */
};

/* What follows a QUILLET_COMMAND item once its command is posted (`value`). */
#define QUILLET_AFTER_SHOW_AGAIN 0 /* show the menu again */
#define QUILLET_AFTER_REOPEN 1     /* ask for the menu again, then show it */
#define QUILLET_AFTER_NOTHING 3    /* leave the phone's screen as it is */
/* any other value: go back to the parent menu */

typedef int quillet_int32; /* 32 bits on the player's platform */

typedef struct QuilletMenuItem {
  char name[QUILLET_FIELD_SIZE]; /* label on the phone, at most 39 characters */
  quillet_int32 kind;            /* a QuilletItemKind */
  quillet_int32 id;              /* command, sub-menu, or the value's id */
  quillet_int32 value;           /* current value; a command's after-action */
  char* labels; /* CHOICE: labels, each NUL-ended, an empty one last; TEXT: the buffer */
  char prompt[QUILLET_FIELD_SIZE]; /* NUMBER and TEXT dialogs */
  quillet_int32 minimum; /* LEVEL, NUMBER; COMMAND: target window, 0 = the player's */
  quillet_int32 maximum; /* LEVEL, NUMBER; CHOICE: labels offered; TEXT: capacity */
} QuilletMenuItem;

typedef struct QuilletMenu {
  QuilletMenuItem* items;  /* may be null when count is 0 */
  quillet_int32 count;     /* number of items; 0 shows `text` as a notice */
  quillet_int32 selection; /* the highlighted item, 0-based */
  quillet_int32 id;        /* the menu's own id */
  quillet_int32 parent;    /* the menu that "back" opens; 0 at the top */
  char title[QUILLET_FIELD_SIZE];
  char* text; /* the notice shown when count is 0 */
} QuilletMenu;

typedef struct QuilletValueChange {
  quillet_int32 id; /* the item's id, translated as described above */
  quillet_int32 value;
} QuilletValueChange;

/* Layout checks where pointers are 4 bytes, as in the player; a failing one
 * is a negative array size. */
#define QUILLET_LAYOUT_CHECK(name, condition) \
  typedef char quillet_layout_##name[(sizeof(void*) != 4 || (condition)) ? 1 : -1]
QUILLET_LAYOUT_CHECK(int32, sizeof(quillet_int32) == 4);
QUILLET_LAYOUT_CHECK(item_size, sizeof(QuilletMenuItem) == 104);
QUILLET_LAYOUT_CHECK(item_kind, offsetof(QuilletMenuItem, kind) == 40);
QUILLET_LAYOUT_CHECK(item_id, offsetof(QuilletMenuItem, id) == 44);
QUILLET_LAYOUT_CHECK(item_value, offsetof(QuilletMenuItem, value) == 48);
QUILLET_LAYOUT_CHECK(item_labels, offsetof(QuilletMenuItem, labels) == 52);
QUILLET_LAYOUT_CHECK(item_prompt, offsetof(QuilletMenuItem, prompt) == 56);
QUILLET_LAYOUT_CHECK(item_minimum, offsetof(QuilletMenuItem, minimum) == 96);
QUILLET_LAYOUT_CHECK(item_maximum, offsetof(QuilletMenuItem, maximum) == 100);
QUILLET_LAYOUT_CHECK(menu_size, sizeof(QuilletMenu) == 64);
QUILLET_LAYOUT_CHECK(menu_count, offsetof(QuilletMenu, count) == 4);
QUILLET_LAYOUT_CHECK(menu_selection, offsetof(QuilletMenu, selection) == 8);
QUILLET_LAYOUT_CHECK(menu_id, offsetof(QuilletMenu, id) == 12);
QUILLET_LAYOUT_CHECK(menu_parent, offsetof(QuilletMenu, parent) == 16);
QUILLET_LAYOUT_CHECK(menu_title, offsetof(QuilletMenu, title) == 20);
QUILLET_LAYOUT_CHECK(menu_text, offsetof(QuilletMenu, text) == 60);
QUILLET_LAYOUT_CHECK(value_change_size, sizeof(QuilletValueChange) == 8);
QUILLET_LAYOUT_CHECK(value_change_value, offsetof(QuilletValueChange, value) == 4);

#endif /* QUILLET_MENUS_H */
