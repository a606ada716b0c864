/* serialprobe: drives one serial port with the Win32 calls the plug-in uses,
 * one command per stdin line, one reply line per command on stdout. A test on
 * the other end of the line reads the replies and plays the phone.
 *
 *   open [NAME]          CreateFileA(NAME or "COM1", read/write, no sharing,
 *                        overlapped)
 *   open2 [NAME]         a second CreateFileA on the same name, closed at once
 *   timeouts             SetCommTimeouts 50/0/500/0/500
 *   state DCBTEXT        GetCommState, BuildCommDCBA(DCBTEXT), SetCommState,
 *                        then GetCommState again and print it
 *   modem                GetCommModemStatus
 *   escape FN            EscapeCommFunction(FN)
 *   mask N               SetCommMask(N)
 *   wait                 overlapped WaitCommEvent on the wait record
 *   waitresult MS        wait up to MS for the wait record, then its result
 *   write TEXT           overlapped WriteFile on the I/O record
 *   writeonwait TEXT     overlapped WriteFile on the wait record
 *   read MAX             overlapped ReadFile on the I/O record, to the end
 *   readstart MAX        overlapped ReadFile on the read record
 *   readresult MS        wait up to MS for the read record, then its result
 *   purge FLAGS          PurgeComm(FLAGS)
 *   close                CloseHandle on the port
 *   window               CreateWindowExA of a plain window (needs a display)
 *   dialog               a modal dialog that ends itself with EndDialog after
 *                        50 ms; prints how long DialogBox took to return
 *   quit [CODE]          exit with CODE (default 0)
 * TEXT takes C escapes (\r \n \\ \xHH); received data is printed the same way.
 * Times are milliseconds since the operation started.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

enum { kLineMax = 4096, kDataMax = 2048 };

struct record {
  OVERLAPPED ov;
  LARGE_INTEGER started;
};

static HANDLE g_port = INVALID_HANDLE_VALUE;
static struct record g_io, g_wait, g_read;
static DWORD g_events;
static char g_read_buffer[kDataMax];
static LARGE_INTEGER g_frequency;

static void init_record(struct record* r) {
  memset(r, 0, sizeof *r);
  r->ov.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
}

static void restart_record(struct record* r) {
  HANDLE event = r->ov.hEvent;
  memset(&r->ov, 0, sizeof r->ov);
  r->ov.hEvent = event;
  ResetEvent(event);
  QueryPerformanceCounter(&r->started);
}

static long elapsed_ms(const struct record* r) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return (long)((now.QuadPart - r->started.QuadPart) * 1000 / g_frequency.QuadPart);
}

static int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

static DWORD unescape(const char* text, char* out, DWORD cap) {
  DWORD n = 0;
  while (*text && n < cap) {
    char c = *text++;
    if (c == '\\' && *text) {
      char e = *text++;
      if (e == 'r') {
        c = '\r';
      } else if (e == 'n') {
        c = '\n';
      } else if (e == 'x' && hex_value(text[0]) >= 0 && hex_value(text[1]) >= 0) {
        c = (char)(hex_value(text[0]) * 16 + hex_value(text[1]));
        text += 2;
      } else {
        c = e;
      }
    }
    out[n++] = c;
  }
  return n;
}

static void print_escaped(const char* data, DWORD n) {
  for (DWORD i = 0; i < n; ++i) {
    unsigned char c = (unsigned char)data[i];
    if (c == '\r') {
      fputs("\\r", stdout);
    } else if (c == '\n') {
      fputs("\\n", stdout);
    } else if (c == '\\') {
      fputs("\\\\", stdout);
    } else if (c < 0x21 || c > 0x7e) {
      printf("\\x%02x", c);
    } else {
      putchar(c);
    }
  }
}

static void reply_ok(const char* cmd) {
  printf("%s ok\n", cmd);
}

static void reply_fail(const char* cmd) {
  printf("%s fail err=%lu\n", cmd, GetLastError());
}

static void reply_bool(const char* cmd, BOOL ok) {
  if (ok) {
    reply_ok(cmd);
  } else {
    reply_fail(cmd);
  }
}

static void do_open(const char* cmd, const char* name, int keep) {
  HANDLE h = CreateFileA(*name ? name : "COM1", GENERIC_READ | GENERIC_WRITE, 0, NULL,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, NULL);
  if (h == INVALID_HANDLE_VALUE) {
    reply_fail(cmd);
    return;
  }
  if (keep) {
    g_port = h;
  } else {
    CloseHandle(h);
  }
  reply_ok(cmd);
}

static void do_timeouts(void) {
  COMMTIMEOUTS t = {50, 0, 500, 0, 500};
  reply_bool("timeouts", SetCommTimeouts(g_port, &t));
}

static void do_state(const char* text) {
  DCB dcb;
  memset(&dcb, 0, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(g_port, &dcb)) {
    reply_fail("state");
    return;
  }
  if (!BuildCommDCBA(text, &dcb)) {
    printf("state build-fail err=%lu\n", GetLastError());
    return;
  }
  if (!SetCommState(g_port, &dcb)) {
    reply_fail("state");
    return;
  }
  memset(&dcb, 0, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(g_port, &dcb)) {
    reply_fail("state");
    return;
  }
  printf("state ok baud=%lu bytesize=%u parity=%u stopbits=%u dtr=%u rts=%u\n", dcb.BaudRate,
         dcb.ByteSize, dcb.Parity, dcb.StopBits, (unsigned)dcb.fDtrControl,
         (unsigned)dcb.fRtsControl);
}

static void do_modem(void) {
  DWORD status = 0;
  if (GetCommModemStatus(g_port, &status)) {
    printf("modem ok 0x%lx\n", status);
  } else {
    reply_fail("modem");
  }
}

static void do_wait(void) {
  restart_record(&g_wait);
  g_events = 0xdeadbeef;
  if (WaitCommEvent(g_port, &g_events, &g_wait.ov)) {
    printf("wait done mask=0x%lx\n", g_events);
  } else if (GetLastError() == ERROR_IO_PENDING) {
    printf("wait pending\n");
  } else {
    reply_fail("wait");
  }
}

static void do_waitresult(DWORD ms) {
  if (WaitForSingleObject(g_wait.ov.hEvent, ms) == WAIT_TIMEOUT) {
    printf("waitresult timeout\n");
    return;
  }
  DWORD n = 0;
  BOOL ok = GetOverlappedResult(g_port, &g_wait.ov, &n, FALSE);
  DWORD err = ok ? 0 : GetLastError();
  printf("waitresult %s err=%lu mask=0x%lx n=%lu ms=%ld\n", ok ? "ok" : "fail", err, g_events, n,
         elapsed_ms(&g_wait));
}

static void do_write(const char* cmd, struct record* r, const char* text) {
  char data[kDataMax];
  DWORD len = unescape(text, data, sizeof data);
  DWORD n = 0;
  restart_record(r);
  if (WriteFile(g_port, data, len, &n, &r->ov)) {
    printf("%s sync n=%lu ms=%ld\n", cmd, n, elapsed_ms(r));
  } else if (GetLastError() == ERROR_IO_PENDING) {
    BOOL ok = GetOverlappedResult(g_port, &r->ov, &n, TRUE);
    DWORD err = ok ? 0 : GetLastError();
    printf("%s async %s err=%lu n=%lu ms=%ld\n", cmd, ok ? "ok" : "fail", err, n, elapsed_ms(r));
  } else {
    reply_fail(cmd);
  }
}

static void print_read(const char* cmd, const char* how, BOOL ok, DWORD n, const struct record* r) {
  DWORD err = ok ? 0 : GetLastError();
  printf("%s %s %s err=%lu n=%lu ms=%ld data=", cmd, how, ok ? "ok" : "fail", err, n,
         elapsed_ms(r));
  print_escaped(g_read_buffer, ok ? n : 0);
  putchar('\n');
}

static DWORD clamp_size(const char* arg) {
  long max = strtol(arg, NULL, 10);
  if (max < 1) return 1;
  return max > kDataMax ? kDataMax : (DWORD)max;
}

static void do_read(const char* arg) {
  DWORD n = 0;
  restart_record(&g_io);
  if (ReadFile(g_port, g_read_buffer, clamp_size(arg), &n, &g_io.ov)) {
    print_read("read", "sync", TRUE, n, &g_io);
  } else if (GetLastError() == ERROR_IO_PENDING) {
    BOOL ok = GetOverlappedResult(g_port, &g_io.ov, &n, TRUE);
    print_read("read", "async", ok, n, &g_io);
  } else {
    print_read("read", "sync", FALSE, 0, &g_io);
  }
}

static void do_readstart(const char* arg) {
  DWORD n = 0;
  restart_record(&g_read);
  if (ReadFile(g_port, g_read_buffer, clamp_size(arg), &n, &g_read.ov)) {
    print_read("readstart", "sync", TRUE, n, &g_read);
  } else if (GetLastError() == ERROR_IO_PENDING) {
    printf("readstart pending\n");
  } else {
    print_read("readstart", "sync", FALSE, 0, &g_read);
  }
}

static void do_readresult(DWORD ms) {
  if (WaitForSingleObject(g_read.ov.hEvent, ms) == WAIT_TIMEOUT) {
    printf("readresult timeout\n");
    return;
  }
  DWORD n = 0;
  BOOL ok = GetOverlappedResult(g_port, &g_read.ov, &n, FALSE);
  print_read("readresult", "done", ok, n, &g_read);
}

static void do_close(void) {
  BOOL ok = CloseHandle(g_port);
  g_port = INVALID_HANDLE_VALUE;
  reply_bool("close", ok);
}

static void do_window(void) {
  HWND window = CreateWindowExA(0, "STATIC", "serialprobe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                NULL, NULL, GetModuleHandleA(NULL), NULL);
  if (!window) {
    reply_fail("window");
    return;
  }
  DestroyWindow(window);
  reply_ok("window");
}

static INT_PTR CALLBACK dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  (void)wparam;
  (void)lparam;
  if (message == WM_INITDIALOG) {
    SetTimer(dialog, 1, 50, NULL);
    return TRUE;
  }
  if (message == WM_TIMER) {
    KillTimer(dialog, 1);
    EndDialog(dialog, 7);
    return TRUE;
  }
  return FALSE;
}

static void do_dialog(void) {
  /* A template with no controls, no menu, no class and no title. */
  static struct {
    DLGTEMPLATE header;
    WORD menu, window_class, title;
  } dialog_template;
  struct record timing;
  dialog_template.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  dialog_template.header.cx = 100;
  dialog_template.header.cy = 50;
  QueryPerformanceCounter(&timing.started);
  INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(NULL), &dialog_template.header, NULL,
                                           dialog_proc, 0);
  if (result == -1) {
    reply_fail("dialog");
    return;
  }
  printf("dialog ok result=%d ms=%ld\n", (int)result, elapsed_ms(&timing));
}

/* Runs one command; returns 0 on "quit", with *exit_code set. */
static int dispatch(char* line, int* exit_code) {
  line[strcspn(line, "\r\n")] = '\0';
  char* arg = strchr(line, ' ');
  if (arg) {
    *arg++ = '\0';
  } else {
    arg = line + strlen(line);
  }
  const char* cmd = line;
  DWORD number = (DWORD)strtoul(arg, NULL, 0);

  if (!strcmp(cmd, "quit")) {
    *exit_code = (int)number;
    return 0;
  }
  if (!strcmp(cmd, "open")) {
    do_open(cmd, arg, 1);
  } else if (!strcmp(cmd, "open2")) {
    do_open(cmd, arg, 0);
  } else if (!strcmp(cmd, "timeouts")) {
    do_timeouts();
  } else if (!strcmp(cmd, "state")) {
    do_state(arg);
  } else if (!strcmp(cmd, "modem")) {
    do_modem();
  } else if (!strcmp(cmd, "escape")) {
    reply_bool(cmd, EscapeCommFunction(g_port, number));
  } else if (!strcmp(cmd, "mask")) {
    reply_bool(cmd, SetCommMask(g_port, number));
  } else if (!strcmp(cmd, "wait")) {
    do_wait();
  } else if (!strcmp(cmd, "waitresult")) {
    do_waitresult(number);
  } else if (!strcmp(cmd, "write")) {
    do_write(cmd, &g_io, arg);
  } else if (!strcmp(cmd, "writeonwait")) {
    do_write(cmd, &g_wait, arg);
  } else if (!strcmp(cmd, "read")) {
    do_read(arg);
  } else if (!strcmp(cmd, "readstart")) {
    do_readstart(arg);
  } else if (!strcmp(cmd, "readresult")) {
    do_readresult(number);
  } else if (!strcmp(cmd, "purge")) {
    reply_bool(cmd, PurgeComm(g_port, number));
  } else if (!strcmp(cmd, "close")) {
    do_close();
  } else if (!strcmp(cmd, "window")) {
    do_window();
  } else if (!strcmp(cmd, "dialog")) {
    do_dialog();
  } else if (*cmd) {
    printf("%s unknown\n", cmd);
  }
  return 1;
}

int main(void) {
  static char line[kLineMax];
  setvbuf(stdout, NULL, _IONBF, 0);
  QueryPerformanceFrequency(&g_frequency);
  init_record(&g_io);
  init_record(&g_wait);
  init_record(&g_read);
  int exit_code = 0;
  printf("serialprobe ready\n");
  while (fgets(line, sizeof line, stdin)) {
    if (!dispatch(line, &exit_code)) break;
  }
  printf("serialprobe bye\n");
  return exit_code;
}
