/* gen_samplemenu.dll: a general-purpose plug-in that puts menus of its own on
 * the phone through Quillet, written as a third-party author would write it:
 * plain C against quillet_menus.h and <windows.h>, nothing else.
 *
 * init registers Quillet's four message names, subclasses the player window
 * and answers LoadMenu for 1000 (the main menu, record id 2000) and 1001 (its
 * options sub-menu, record id 2001); everything else is passed on. Every
 * exchange is printed as a "plugin sample ..." line on standard output, which
 * the stand-in host shares, so a test can follow what the plug-in saw:
 *
 *   plugin sample layout menu=64 item=104 ... menu.text=60   (sizes, offsets)
 *   plugin sample registered query_menu=N load_menu=N value_changed=N
 *       menu_closed=N no_main=0|1
 *   plugin sample load_menu id=N answered=yes|no
 *   plugin sample menu_closed menu=main id=N text="..."   (the TEXT item's)
 *   plugin sample menu_closed menu=options|unknown id=N
 *   plugin sample menu_closed menu=unknown record=null
 *   plugin sample value_changed id=N value=V   (or record=null)
 *   plugin sample config
 *   plugin sample kept_loaded lent=N   (quit while Quillet holds N records)
 *   plugin sample quit on_top=yes|no
 *
 * menu_closed shows the record's id as Quillet left it. Texts are quoted as
 * the host quotes them: \" \\ and \xNN for bytes outside printable ASCII.
 *
 * Environment: SAMPLEMENU_NO_MAIN=1 leaves 1000 to others (only 1001 is
 * answered). */
#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <windows.h>

#include "quillet_menus.h"

#define SAMPLE_MAIN_ID 2000
#define SAMPLE_OPTIONS_ID 2001
#define SAMPLE_MISSING_ID 2002
#define SAMPLE_COUNT(array) ((quillet_int32)(sizeof(array) / sizeof((array)[0])))

/* The player's general-purpose plug-in record (version 16). */
typedef struct SampleRecord {
  int version;
  const char* description;
  int (*init)(void);
  void (*config)(void);
  void (*quit)(void);
  HWND hwndParent;
  HINSTANCE hDllInstance;
} SampleRecord;

static int Init(void);
static void Config(void);
static void Quit(void);

static SampleRecord g_record = {16, "Quillet sample menus", Init, Config, Quit, NULL, NULL};

/* Choice labels, each NUL-ended, an empty one last (the literal's own NUL). */
static char g_colours[] = "Red\0Green\0Blue\0";
/* The TEXT item's buffer: Quillet writes the user's text here. */
static char g_name[21] = "Quillet";

static QuilletMenuItem g_main_items[] = {
    {"Player menu", QUILLET_SUBMENU, 10, 0, NULL, "", 0, 0},
    {"Options", QUILLET_SUBMENU, SAMPLE_OPTIONS_ID, 0, NULL, "", 0, 0},
    {"Play", QUILLET_COMMAND, 40045, QUILLET_AFTER_SHOW_AGAIN, NULL, "", 0, 0},
    {"Brightness", QUILLET_LEVEL, 2010, 5, NULL, "", 0, 10},
    {"Colour", QUILLET_CHOICE, 2011, 1, g_colours, "", 0, 3},
    {"Shuffle", QUILLET_SWITCH, 2012, 0, NULL, "", 0, 0},
    {"Count", QUILLET_NUMBER, 2013, 7, NULL, "How many", 1, 99},
    {"Name", QUILLET_TEXT, 2014, 0, g_name, "Your name", 0, (quillet_int32)sizeof g_name - 1}};

static QuilletMenuItem g_options_items[] = {
    {"Fullscreen", QUILLET_COMMAND, 40337, QUILLET_AFTER_SHOW_AGAIN, NULL, "", 0, 0},
    {"Volume", QUILLET_LEVEL, 101, 128, NULL, "", 0, 255},
    {"Missing", QUILLET_SUBMENU, SAMPLE_MISSING_ID, 0, NULL, "", 0, 0}};

static QuilletMenu g_main = {
    g_main_items, SAMPLE_COUNT(g_main_items), 0, SAMPLE_MAIN_ID, 0, "Sample menu", NULL};
static QuilletMenu g_options = {g_options_items,
                                SAMPLE_COUNT(g_options_items),
                                0,
                                SAMPLE_OPTIONS_ID,
                                SAMPLE_MAIN_ID,
                                "Sample options",
                                NULL};

static WNDPROC g_host_proc = NULL;
static LRESULT g_query_menu_id = 0;
static LRESULT g_load_menu_id = 0;
static LRESULT g_value_changed_id = 0;
static LRESULT g_menu_closed_id = 0;
static int g_no_main = 0;
/* Records answered to Quillet and not yet told closed. */
static int g_main_lent = 0;
static int g_options_lent = 0;

/* One "plugin sample ..." line, written at once so it never interleaves with
 * the host's own lines. */
static void Say(const char* format, ...) {
  static const char prefix[] = "plugin sample ";
  char line[512];
  const int room = (int)(sizeof line - sizeof prefix); /* keeps one byte for the newline */
  int length;
  DWORD written = 0;
  va_list args;
  lstrcpyA(line, prefix);
  va_start(args, format);
  length = _vsnprintf(line + sizeof prefix - 1, (size_t)room, format, args);
  va_end(args);
  if (length < 0 || length > room) length = room; /* cut short */
  length += (int)sizeof prefix - 1;
  line[length++] = '\n';
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, (DWORD)length, &written, NULL);
}

/* Quotes the TEXT item's buffer as the host's log quotes texts; reads no
 * further than the buffer, whatever was written into it. */
static void QuoteName(char* out) {
  static const char hex[] = "0123456789ABCDEF";
  size_t i;
  *out++ = '"';
  for (i = 0; i < sizeof g_name && g_name[i] != '\0'; ++i) {
    const unsigned char c = (unsigned char)g_name[i];
    if (c == '"' || c == '\\') {
      *out++ = '\\';
      *out++ = (char)c;
    } else if (c < 0x20 || c > 0x7e) {
      *out++ = '\\';
      *out++ = 'x';
      *out++ = hex[c >> 4];
      *out++ = hex[c & 15];
    } else {
      *out++ = (char)c;
    }
  }
  *out++ = '"';
  *out = '\0';
}

static int EnvIsOne(const char* name) {
  char value[4] = {0};
  return GetEnvironmentVariableA(name, value, sizeof value) == 1 && value[0] == '1';
}

static LRESULT Register(const char* name) {
  return SendMessageA(g_record.hwndParent, WM_USER, (WPARAM)name, QUILLET_REGISTER_NAME);
}

static QuilletMenu* Supply(WPARAM wanted) {
  /* Quillet writes the id it asked for back into a record when it closes it;
   * each answer starts from the record's own id again, since Quillet
   * translates the items' ids by the difference. */
  if (wanted == QUILLET_MAIN_MENU_ID && !g_no_main) {
    g_main.id = SAMPLE_MAIN_ID;
    g_main_lent = 1;
    return &g_main;
  }
  if (wanted == QUILLET_MAIN_MENU_ID + (SAMPLE_OPTIONS_ID - SAMPLE_MAIN_ID)) {
    g_options.id = SAMPLE_OPTIONS_ID;
    g_options_lent = 1;
    return &g_options;
  }
  return NULL;
}

static void NoteMenuClosed(const QuilletMenu* menu) {
  if (menu == &g_main) g_main_lent = 0;
  if (menu == &g_options) g_options_lent = 0;
  if (menu == &g_main) {
    char text[sizeof g_name * 4 + 3];
    QuoteName(text);
    Say("menu_closed menu=main id=%ld text=%s", (long)menu->id, text);
  } else if (menu == &g_options) {
    Say("menu_closed menu=options id=%ld", (long)menu->id);
  } else if (menu != NULL) {
    Say("menu_closed menu=unknown id=%ld", (long)menu->id);
  } else {
    Say("menu_closed menu=unknown record=null");
  }
}

static void NoteValueChanged(const QuilletValueChange* change) {
  if (change != NULL) {
    Say("value_changed id=%ld value=%ld", (long)change->id, (long)change->value);
  } else {
    Say("value_changed record=null");
  }
}

static LRESULT CALLBACK Subclass(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_USER && lparam != 0) {
    if ((LRESULT)lparam == g_load_menu_id) {
      QuilletMenu* menu = Supply(wparam);
      Say("load_menu id=%ld answered=%s", (long)(int)wparam, menu != NULL ? "yes" : "no");
      if (menu != NULL) return (LRESULT)menu;
    } else if ((LRESULT)lparam == g_menu_closed_id) {
      NoteMenuClosed((const QuilletMenu*)wparam);
    } else if ((LRESULT)lparam == g_value_changed_id) {
      NoteValueChanged((const QuilletValueChange*)wparam);
    }
  }
  /* Notifications go on as well: other suppliers down the chain want theirs. */
  return CallWindowProcA(g_host_proc, window, msg, wparam, lparam);
}

static int Init(void) {
  Say("layout menu=%lu item=%lu value_change=%lu item.kind=%lu item.id=%lu item.value=%lu "
      "item.labels=%lu item.prompt=%lu item.minimum=%lu item.maximum=%lu menu.count=%lu "
      "menu.selection=%lu menu.id=%lu menu.parent=%lu menu.title=%lu menu.text=%lu",
      (unsigned long)sizeof(QuilletMenu), (unsigned long)sizeof(QuilletMenuItem),
      (unsigned long)sizeof(QuilletValueChange), (unsigned long)offsetof(QuilletMenuItem, kind),
      (unsigned long)offsetof(QuilletMenuItem, id), (unsigned long)offsetof(QuilletMenuItem, value),
      (unsigned long)offsetof(QuilletMenuItem, labels),
      (unsigned long)offsetof(QuilletMenuItem, prompt),
      (unsigned long)offsetof(QuilletMenuItem, minimum),
      (unsigned long)offsetof(QuilletMenuItem, maximum),
      (unsigned long)offsetof(QuilletMenu, count), (unsigned long)offsetof(QuilletMenu, selection),
      (unsigned long)offsetof(QuilletMenu, id), (unsigned long)offsetof(QuilletMenu, parent),
      (unsigned long)offsetof(QuilletMenu, title), (unsigned long)offsetof(QuilletMenu, text));
  g_no_main = EnvIsOne("SAMPLEMENU_NO_MAIN");
  g_query_menu_id = Register(QUILLET_QUERY_MENU);
  g_load_menu_id = Register(QUILLET_LOAD_MENU);
  g_value_changed_id = Register(QUILLET_VALUE_CHANGED);
  g_menu_closed_id = Register(QUILLET_MENU_CLOSED);
  Say("registered query_menu=%ld load_menu=%ld value_changed=%ld menu_closed=%ld no_main=%d",
      (long)g_query_menu_id, (long)g_load_menu_id, (long)g_value_changed_id, (long)g_menu_closed_id,
      g_no_main);
  g_host_proc = (WNDPROC)SetWindowLongPtrA(g_record.hwndParent, GWLP_WNDPROC, (LONG_PTR)Subclass);
  return 0;
}

static void Config(void) {
  Say("config");
}

static void Quit(void) {
  /* The saved procedure goes back even when another subclass sits on top of
   * ours (on_top=no; that one is cut off): a chain still leading into this
   * module would call into it once it is unloaded. */
  const int on_top = GetWindowLongPtrA(g_record.hwndParent, GWLP_WNDPROC) == (LONG_PTR)Subclass;
  const int lent = g_main_lent + g_options_lent;
  if (g_host_proc != NULL) {
    SetWindowLongPtrA(g_record.hwndParent, GWLP_WNDPROC, (LONG_PTR)g_host_proc);
  }
  if (lent > 0) {
    /* Quillet may still read a record it holds until its own quit returns:
     * the records (static data of this module) must outlive the unload. */
    HMODULE self = NULL;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       (LPCSTR)&g_main, &self);
    Say("kept_loaded lent=%d", lent);
  }
  Say("quit on_top=%s", on_top ? "yes" : "no");
}

__declspec(dllexport) SampleRecord* winampGetGeneralPurposePlugin(void) {
  return &g_record;
}
