/* LD_PRELOAD shim that gives Linux pseudo-terminal slaves the modem lines a
 * real serial port has, so Wine's serial code (GetCommModemStatus,
 * WaitCommEvent, SetCommState) works on a pty.
 *
 * A pty answers TIOCMGET/TIOCMSET/TIOCMBIS/TIOCMBIC with ENOTTY. Wine 8's
 * ntdll turns that into a failed GetCommModemStatus and makes every
 * WaitCommEvent end at once (its wait thread polls TIOCMGET every
 * millisecond and gives up when it fails). This shim answers those four
 * requests on pty slaves itself:
 *   - DSR, CTS, DCD and RI come from the file $QUILLET_MODEM_DIR/pts-N
 *     (N from /dev/pts/N): a decimal number of TIOCM_* bits, written by the
 *     phone simulator with write-temp-then-rename; missing means all off.
 *     The file is read on every TIOCMGET, so a change is seen at Wine's next
 *     poll.
 *   - DTR and RTS are what the program last set (both on after open, as a
 *     Linux serial driver raises them). Every change is published in
 *     $QUILLET_MODEM_DIR/pts-N.host in the same format, so the phone side can
 *     watch them.
 * Everything else, and every request when QUILLET_MODEM_DIR is unset, goes to
 * the real ioctl. Wine's 32-bit ntdll is built with 64-bit time_t and so
 * calls glibc's __ioctl_time64 instead of ioctl; both are interposed.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

enum {
  kPtsMajor = 136, /* Unix98 pty slaves: /dev/pts/N is (136, N) */
  kMaxPorts = 16,
  kPhoneLines = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR | TIOCM_RNG,
  kHostLines = TIOCM_DTR | TIOCM_RTS,
};

struct port_state {
  int used;
  unsigned pts;
  int host_lines;
};

static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
static struct port_state g_ports[kMaxPorts];

/* Wine's wait thread calls ioctl every millisecond; look each symbol up once. */
static ioctl_fn next_symbol(ioctl_fn* cache, const char* name) {
  ioctl_fn fn = __atomic_load_n(cache, __ATOMIC_ACQUIRE);
  if (!fn) {
    fn = (ioctl_fn)dlsym(RTLD_NEXT, name);
    __atomic_store_n(cache, fn, __ATOMIC_RELEASE);
  }
  return fn;
}

static const char* modem_dir(void) {
  const char* dir = getenv("QUILLET_MODEM_DIR");
  return dir && *dir ? dir : NULL;
}

/* Returns 1 and the pty number if fd is a pty slave. */
static int pts_number(int fd, unsigned* pts) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || major(st.st_rdev) != kPtsMajor) return 0;
  *pts = minor(st.st_rdev);
  return 1;
}

static int read_phone_lines(const char* dir, unsigned pts) {
  char path[4096];
  char text[32];
  snprintf(path, sizeof path, "%s/pts-%u", dir, pts);
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n <= 0) return 0;
  text[n] = '\0';
  char* end = NULL;
  long value = strtol(text, &end, 10);
  if (end == text) {
    fprintf(stderr, "modemshim: %s does not hold a decimal number\n", path);
    return 0;
  }
  return (int)value & kPhoneLines;
}

static void publish_host_lines(const char* dir, unsigned pts, int lines) {
  char path[4096];
  char tmp[4096 + 32];
  char text[32];
  snprintf(path, sizeof path, "%s/pts-%u.host", dir, pts);
  snprintf(tmp, sizeof tmp, "%s.%ld.tmp", path, (long)getpid());
  int len = snprintf(text, sizeof text, "%d\n", lines);
  int fd = open(tmp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  int ok = write(fd, text, (size_t)len) == len;
  close(fd);
  if (!ok || rename(tmp, path) != 0) unlink(tmp);
}

/* Caller holds g_lock. */
static struct port_state* port_for(const char* dir, unsigned pts) {
  struct port_state* free_slot = NULL;
  for (int i = 0; i < kMaxPorts; ++i) {
    if (g_ports[i].used && g_ports[i].pts == pts) return &g_ports[i];
    if (!g_ports[i].used && !free_slot) free_slot = &g_ports[i];
  }
  if (!free_slot) return NULL;
  free_slot->used = 1;
  free_slot->pts = pts;
  free_slot->host_lines = TIOCM_DTR | TIOCM_RTS;
  publish_host_lines(dir, pts, free_slot->host_lines);
  return free_slot;
}

/* Returns 1 when the request was answered here, with *result set. */
static int emulate(int fd, unsigned long request, void* arg, int* result) {
  unsigned req = (unsigned)request;
  if (req != TIOCMGET && req != TIOCMSET && req != TIOCMBIS && req != TIOCMBIC) return 0;
  const char* dir = modem_dir();
  unsigned pts;
  if (!dir || !pts_number(fd, &pts)) return 0;
  if (!arg) {
    errno = EFAULT;
    *result = -1;
    return 1;
  }

  pthread_mutex_lock(&g_lock);
  struct port_state* port = port_for(dir, pts);
  if (!port) {
    pthread_mutex_unlock(&g_lock);
    errno = EMFILE;
    *result = -1;
    return 1;
  }
  int* bits = (int*)arg;
  int before = port->host_lines;
  if (req == TIOCMGET) {
    *bits = port->host_lines | read_phone_lines(dir, pts);
  } else if (req == TIOCMSET) {
    port->host_lines = *bits & kHostLines;
  } else if (req == TIOCMBIS) {
    port->host_lines |= *bits & kHostLines;
  } else {
    port->host_lines &= ~(*bits & kHostLines);
  }
  if (port->host_lines != before) publish_host_lines(dir, pts, port->host_lines);
  pthread_mutex_unlock(&g_lock);
  *result = 0;
  return 1;
}

static ioctl_fn g_next_ioctl;
static ioctl_fn g_next_ioctl_time64;

static int dispatch(ioctl_fn* cache, const char* next_name, int fd, unsigned long request,
                    void* arg) {
  int result;
  if (emulate(fd, request, arg, &result)) return result;
  ioctl_fn next = next_symbol(cache, next_name);
  if (!next) next = next_symbol(&g_next_ioctl, "ioctl");
  if (!next) {
    errno = ENOSYS;
    return -1;
  }
  return next(fd, request, arg);
}

int ioctl(int fd, unsigned long request, ...) {
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  return dispatch(&g_next_ioctl, "ioctl", fd, request, arg);
}

/* glibc's entry point for callers built with _TIME_BITS=64 on 32-bit x86. */
int __ioctl_time64(int fd, unsigned long request, ...) {
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  return dispatch(&g_next_ioctl_time64, "__ioctl_time64", fd, request, arg);
}
