#include "dialog_driver.h"

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "host_options.h"
#include "log_sink.h"
#include "process_probe.h"
#include "thread_dialogs.h"

namespace host {
namespace {

struct BaseUnits {
  int x = 0;
  int y = 0;
};

void Fail(const char* reason) {
  Emit(LogLine("error").Text("op", "dialog").Text("reason", reason));
}

void FailWithCode(const char* reason, DWORD code) {
  Emit(LogLine("error")
           .Text("op", "dialog")
           .Num("code", code)
           .Text("reason", std::string(reason) + ": " + ErrorText(code)));
}

// Splits "WORD REST" at the first run of blanks.
std::pair<std::string, std::string> SplitWord(const std::string& text) {
  const size_t space = text.find_first_of(" \t");
  if (space == std::string::npos) return {text, std::string()};
  const size_t rest = text.find_first_not_of(" \t", space);
  return {text.substr(0, space), rest == std::string::npos ? std::string() : text.substr(rest)};
}

// A text in double quotes is taken without them, so it may be empty or
// begin or end with blanks.
std::string Unquote(const std::string& text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

bool ParseId(const std::string& text, int* id) {
  long long n = 0;
  if (!ParseNumber(text, &n) || n < -1 || n > 0xFFFF) return false;
  *id = static_cast<int>(n);
  return true;
}

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int got = GetWindowTextA(window, &text[0], length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

std::string ClassName(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

bool IsComboBox(HWND window) {
  return lstrcmpiA(ClassName(window).c_str(), "ComboBox") == 0;
}

bool IsCheckBox(HWND window) {
  if (lstrcmpiA(ClassName(window).c_str(), "Button") != 0) return false;
  const LONG type = GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
         type == BS_AUTO3STATE;
}

// Class names are tokens in practice; anything else is quoted.
void AddName(LogLine& line, const char* key, const std::string& name) {
  bool plain = !name.empty();
  for (const char c : name) {
    if (c <= ' ' || c > '~' || c == '"' || c == '\\') plain = false;
  }
  if (plain) {
    line.Token(key, name.c_str());
  } else {
    line.Text(key, name);
  }
}

std::string Joined(std::initializer_list<long> values) {
  std::string out;
  for (const long value : values) {
    if (!out.empty()) out += ',';
    out += std::to_string(value);
  }
  return out;
}

const char* YesNo(bool value) {
  return value ? "yes" : "no";
}

// The window's own WS_VISIBLE, whether or not its parent shows.
bool HasVisibleStyle(HWND window) {
  return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

// MapDialogRect turns dialog units into pixels as x * base.x / 4 and
// y * base.y / 8, rounded (MulDiv); mapping 4 by 8 units gives the base
// units themselves.
bool DialogBaseUnits(HWND dialog, BaseUnits* base) {
  RECT rect = {0, 0, 4, 8};
  if (!MapDialogRect(dialog, &rect) || rect.right <= 0 || rect.bottom <= 0) return false;
  base->x = rect.right;
  base->y = rect.bottom;
  return true;
}

// The inverse of MapDialogRect's rounding, value by value. The dialog
// manager sizes a control from its template as MulDiv(cx, base.x, 4) pixels
// (and so on), and with base units above 4 and 8 (any real font) rounding
// the pixels back gives the template's units exactly.
int HorizontalUnits(long pixels, const BaseUnits& base) {
  return MulDiv(pixels, 4, base.x);
}

int VerticalUnits(long pixels, const BaseUnits& base) {
  return MulDiv(pixels, 8, base.y);
}

void AddFont(HWND dialog, LogLine& line) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  LOGFONTA logfont = {};
  if (!font) {
    // No DS_SETFONT: the dialog draws with the system font.
    line.Token("font", "system");
    return;
  }
  if (GetObjectA(font, sizeof logfont, &logfont) == 0) {
    line.Token("font", "unknown");
    return;
  }
  line.Text("font", logfont.lfFaceName);
  if (logfont.lfHeight == 0) return;  // the mapper's default size
  HDC dc = GetDC(dialog);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  long height = -logfont.lfHeight;
  if (logfont.lfHeight > 0) {
    // A cell height: points measure the character height, which leaves
    // out the internal leading.
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    height = metrics.tmHeight - metrics.tmInternalLeading;
  }
  ReleaseDC(dialog, dc);
  if (dpi > 0) line.Num("size", MulDiv(height, 72, dpi));
}

void AddComboItems(HWND combo, LogLine& line) {
  const LONG style = GetWindowLongA(combo, GWL_STYLE);
  const LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  // Owner-drawn items without strings hold data, not text.
  const bool texts =
      !(style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) || (style & CBS_HASSTRINGS);
  if (texts && count != CB_ERR) {
    std::string items;
    for (LRESULT i = 0; i < count; ++i) {
      if (i > 0) items += '|';
      const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
      if (length == CB_ERR || length <= 0) continue;
      std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
      const LRESULT got = SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                       reinterpret_cast<LPARAM>(text.data()));
      if (got > 0) items.append(text.data(), static_cast<size_t>(got));
    }
    line.Text("items", items);
  }
  line.Num("count", count == CB_ERR ? 0 : static_cast<long long>(count));
  const LRESULT selected = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  line.Num("selected", selected == CB_ERR ? -1 : static_cast<long long>(selected));
}

// The width and height in pixels of the control's text on one line, in the
// font the control draws with: what must fit its rectangle.
SIZE TextExtent(HWND control, const std::string& text) {
  SIZE size = {0, 0};
  if (text.empty()) return size;
  HDC dc = GetDC(control);
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  if (old) SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size;
}

LogLine ControlLine(HWND dialog, HWND control, const BaseUnits* base) {
  // Templates with 16-bit ids give unnamed statics 0xFFFF, extended ones -1.
  int id = GetDlgCtrlID(control);
  if (id == 0xFFFF) id = -1;
  RECT rect = {};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
  const long width = rect.right - rect.left;
  const long height = rect.bottom - rect.top;
  LogLine line("dialog");
  line.Word("control").Num("id", id);
  AddName(line, "class", ClassName(control));
  line.Token("visible", YesNo(HasVisibleStyle(control)))
      .Token("rect", Joined({rect.left, rect.top, width, height}).c_str());
  if (base) {
    line.Token("du", Joined({HorizontalUnits(rect.left, *base), VerticalUnits(rect.top, *base),
                             HorizontalUnits(width, *base), VerticalUnits(height, *base)})
                         .c_str());
  }
  const std::string text = WindowText(control);
  const SIZE extent = TextExtent(control, text);
  line.Hex("style", static_cast<uint32_t>(GetWindowLongA(control, GWL_STYLE)))
      .Text("text", text)
      .Token("textsize", Joined({extent.cx, extent.cy}).c_str());
  if (IsComboBox(control)) AddComboItems(control, line);
  if (IsCheckBox(control)) {
    line.Token("checked", YesNo(SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED));
  }
  return line;
}

void Show(const std::vector<HWND>& dialogs) {
  for (HWND dialog : dialogs) {
    RECT rect = {};
    GetWindowRect(dialog, &rect);
    RECT client = {};
    GetClientRect(dialog, &client);
    BaseUnits base;
    const bool have_base = DialogBaseUnits(dialog, &base);
    LogLine line("dialog");
    line.Hex("window", reinterpret_cast<uintptr_t>(dialog))
        .Text("title", WindowText(dialog))
        .Token("visible", YesNo(HasVisibleStyle(dialog)))
        .Token(
            "rect",
            Joined({rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top}).c_str())
        .Token("client", Joined({client.right, client.bottom}).c_str());
    if (have_base) {
      line.Token("base", Joined({base.x, base.y}).c_str())
          .Token("client_du",
                 Joined({HorizontalUnits(client.right, base), VerticalUnits(client.bottom, base)})
                     .c_str());
    }
    AddFont(dialog, line);
    // What the text of a check box shares its control's width with.
    HDC dc = GetDC(dialog);
    line.Num("dpi", GetDeviceCaps(dc, LOGPIXELSX)).Num("checkw", GetSystemMetrics(SM_CXMENUCHECK));
    ReleaseDC(dialog, dc);
    Emit(line);
    // Direct children only, in Z order, which for a dialog is its tab order.
    for (HWND control = GetWindow(dialog, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
      Emit(ControlLine(dialog, control, have_base ? &base : nullptr));
    }
  }
}

struct Target {
  HWND dialog;
  HWND control;
};

// The control `id` in each dialog that has one.
std::vector<Target> FindControls(const std::vector<HWND>& dialogs, int id) {
  std::vector<Target> targets;
  for (HWND dialog : dialogs) {
    if (HWND control = GetDlgItem(dialog, id)) targets.push_back({dialog, control});
  }
  return targets;
}

void Type(const std::vector<HWND>& dialogs, const std::string& args) {
  const auto [id_text, rest] = SplitWord(args);
  int id = 0;
  if (!ParseId(id_text, &id) || rest.empty()) return Fail("needs ID and TEXT");
  const std::string text = Unquote(rest);
  const std::vector<Target> targets = FindControls(dialogs, id);
  if (targets.empty()) return Fail("no such control");
  for (const Target& target : targets) {
    if (!IsWindow(target.dialog)) continue;
    // For a drop-down combo box this is the text of its edit field.
    if (!SetDlgItemTextA(target.dialog, id, text.c_str())) {
      FailWithCode("cannot set the text", GetLastError());
      continue;
    }
    Emit(LogLine("dialog").Word("typed").Num("id", id).Text("text", text));
  }
}

void Select(const std::vector<HWND>& dialogs, const std::string& args) {
  const auto [id_text, index_text] = SplitWord(args);
  int id = 0;
  long long index = 0;
  if (!ParseId(id_text, &id) || !ParseNumber(index_text, &index) || index < -1 ||
      index > INT32_MAX) {
    return Fail("needs ID and INDEX");
  }
  const std::vector<Target> targets = FindControls(dialogs, id);
  if (targets.empty()) return Fail("no such control");
  for (const Target& target : targets) {
    if (!IsWindow(target.control)) continue;
    if (!IsComboBox(target.control)) {
      Fail("not a combo box");
      continue;
    }
    // -1 clears the selection and so also "fails".
    const LRESULT result =
        SendMessageA(target.control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    if (index != -1 && result == CB_ERR) {
      Fail("no such item");
      continue;
    }
    Emit(LogLine("dialog").Word("selected").Num("id", id).Num("index", index));
  }
}

// Ticks (1) or clears (0) a check box and tells its dialog, as a click does.
void Check(const std::vector<HWND>& dialogs, const std::string& args) {
  const auto [id_text, state_text] = SplitWord(args);
  int id = 0;
  if (!ParseId(id_text, &id) || (state_text != "0" && state_text != "1")) {
    return Fail("needs ID and 0 or 1");
  }
  const std::vector<Target> targets = FindControls(dialogs, id);
  if (targets.empty()) return Fail("no such control");
  for (const Target& target : targets) {
    if (!IsWindow(target.dialog) || !IsWindow(target.control)) continue;
    if (!IsCheckBox(target.control)) {
      Fail("not a check box");
      continue;
    }
    SendMessageA(target.control, BM_SETCHECK, state_text == "1" ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageA(target.dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(target.control));
    Emit(LogLine("dialog").Word("checked").Num("id", id).Token("state", state_text.c_str()));
  }
}

void Press(const std::vector<HWND>& dialogs, const std::string& args) {
  int id = 0;
  if (!ParseId(args, &id)) return Fail("needs ID");
  const std::vector<Target> targets = FindControls(dialogs, id);
  if (targets.empty()) return Fail("no such control");
  for (const Target& target : targets) {
    // An earlier press may have closed this dialog.
    if (!IsWindow(target.dialog) || !IsWindow(target.control)) continue;
    // What a button sends its dialog when clicked; the dialog procedure
    // may end the dialog or open another one before this returns.
    SendMessageA(target.dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(target.control));
    Emit(LogLine("dialog").Word("pressed").Num("id", id));
  }
}

bool WriteAll(HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  return WriteFile(file, data, size, &written, nullptr) && written == size;
}

// Writes a bottom-up 24-bit BMP: headers, then rows padded to 4 bytes.
bool WriteBmp(const std::string& path, int width, int height, const void* bits, DWORD bits_size) {
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = bits_size;
  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof header + sizeof info;
  header.bfSize = header.bfOffBits + bits_size;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = WriteAll(file, &header, sizeof header) && WriteAll(file, &info, sizeof info) &&
                  WriteAll(file, bits, bits_size);
  const DWORD code = GetLastError();
  CloseHandle(file);
  SetLastError(code);
  return ok;
}

// Captures the topmost dialog, frame included, as it is on the screen: a
// copy from its window DC, which under Wine reads the window's own surface
// (PrintWindow there paints the background only). Wine draws the frame and
// caption into that surface only for windows it does not leave to a window
// manager; otherwise their part of the picture is black.
void Shot(const std::vector<HWND>& dialogs, const std::string& args) {
  const std::string path = Unquote(args);
  if (path.empty()) return Fail("needs a path");
  HWND dialog = dialogs.front();
  if (!IsWindowVisible(dialog)) return Fail("dialog not visible");
  // Paints whatever is pending, frame and controls too, before the copy.
  RedrawWindow(dialog, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  GdiFlush();
  RECT rect = {};
  GetWindowRect(dialog, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return Fail("dialog has no area");

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD bits_size = stride * static_cast<DWORD>(height);

  HDC window_dc = GetWindowDC(dialog);
  HDC memory_dc = CreateCompatibleDC(window_dc);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(window_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool copied = false;
  if (memory_dc && bitmap) {
    HGDIOBJ old = SelectObject(memory_dc, bitmap);
    copied = BitBlt(memory_dc, 0, 0, width, height, window_dc, 0, 0, SRCCOPY) != 0;
    GdiFlush();
    SelectObject(memory_dc, old);
  }
  const DWORD copy_error = GetLastError();
  bool written = false;
  DWORD write_error = 0;
  if (copied) {
    written = WriteBmp(path, width, height, bits, bits_size);
    write_error = GetLastError();
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory_dc) DeleteDC(memory_dc);
  ReleaseDC(dialog, window_dc);

  if (!copied) return FailWithCode("cannot copy the window", copy_error);
  if (!written) return FailWithCode("cannot write the file", write_error);
  Emit(LogLine("dialog")
           .Word("shot")
           .Hex("window", reinterpret_cast<uintptr_t>(dialog))
           .Text("path", path)
           .Num("width", width)
           .Num("height", height));
}

}  // namespace

void RunDialogCommand(const std::string& arg) {
  const auto [verb, rest] = SplitWord(arg);
  if (verb == "cancel" && rest.empty()) {
    Emit(LogLine("dialog").Word("cancelled").Num("count", CancelThreadDialogs()));
    return;
  }
  const bool known = (verb == "show" && rest.empty()) || verb == "type" || verb == "select" ||
                     verb == "press" || verb == "shot" || verb == "check";
  if (!known) return Fail("unknown subcommand");
  const std::vector<HWND> dialogs = ThreadDialogs();
  if (dialogs.empty()) return Fail("no dialog open");
  if (verb == "show") {
    Show(dialogs);
  } else if (verb == "type") {
    Type(dialogs, rest);
  } else if (verb == "select") {
    Select(dialogs, rest);
  } else if (verb == "press") {
    Press(dialogs, rest);
  } else if (verb == "check") {
    Check(dialogs, rest);
  } else {
    Shot(dialogs, rest);
  }
}

}  // namespace host
