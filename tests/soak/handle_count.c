/* handle_count.exe PID: prints "handles=N" for the Windows process PID.
 *
 * Run under Wine beside the stand-in host (same prefix, so the same
 * wineserver) by the Wine soak, which counts the host's handles: an event
 * the plug-in forgets to close has no file descriptor on the Linux side.
 * GetProcessHandleCount is a stub under Wine; the system handle list, with
 * each handle's owner, is what the wineserver really reports. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>
#include <winternl.h>

/* SystemHandleInformation (16): a count, then one entry per handle. */
typedef struct HandleEntry {
  ULONG ownerPid;
  BYTE objectType;
  BYTE flags;
  USHORT value;
  PVOID object;
  ULONG access;
} HandleEntry;

typedef struct HandleList {
  ULONG count;
  HandleEntry handles[1];
} HandleList;

#define SYSTEM_HANDLE_INFORMATION ((SYSTEM_INFORMATION_CLASS)16)
#define STATUS_INFO_LENGTH_MISMATCH_CODE ((NTSTATUS)0xC0000004L)

int main(int argc, char** argv) {
  ULONG size = 1 << 16;
  ULONG pid;
  if (argc != 2) {
    fprintf(stderr, "usage: handle_count PID\n");
    return 2;
  }
  pid = strtoul(argv[1], NULL, 0);
  for (;;) {
    HandleList* list = (HandleList*)malloc(size);
    ULONG got = 0;
    ULONG owned = 0;
    ULONG i;
    NTSTATUS status;
    if (list == NULL) return 1;
    status = NtQuerySystemInformation(SYSTEM_HANDLE_INFORMATION, list, size, &got);
    if (status == STATUS_INFO_LENGTH_MISMATCH_CODE && size < (1u << 28)) {
      free(list);
      size *= 2;
      continue;
    }
    if (status != 0) {
      printf("error status=0x%08lx\n", (unsigned long)status);
      return 1;
    }
    for (i = 0; i < list->count; ++i) {
      if (list->handles[i].ownerPid == pid) ++owned;
    }
    printf("handles=%lu\n", (unsigned long)owned);
    free(list);
    return 0;
  }
}
