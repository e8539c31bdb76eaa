// The entry of every test program: GoogleTest's run of the program's tests, with the errors reporting
// through the host as the program's start makes them do. On Windows it first brings up the thread that
// GoogleTest keeps for the main thread, so that no test program ends while that thread is still starting.
#include <gtest/gtest.h>

#include "host.h"

#ifdef _WIN32
#include <windows.h>
#include <tlhelp32.h>

namespace {

// Threads other than the main one that have come up. Windows calls the callback below in each new
// thread once the thread's start inside the system is done, and again as the thread ends.
volatile LONG threads_up = 0;

void NTAPI count_thread(PVOID, DWORD reason, PVOID) {
  if (reason == DLL_THREAD_ATTACH) InterlockedIncrement(&threads_up);
  if (reason == DLL_THREAD_DETACH) InterlockedDecrement(&threads_up);
}

// The threads of this process other than the calling one (0 when they cannot be listed).
LONG other_threads() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  LONG count = 0;
  THREADENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId() && entry.th32ThreadID != GetCurrentThreadId()) count++;
  CloseHandle(snapshot);
  return count;
}

// GoogleTest's Windows build starts a watcher thread the first time a thread reports a result, a skip
// or a trace. Started by a skip in a program's last test, it is still starting when the process ends,
// and under Wine a process that ends while one of its threads starts dies of a segmentation fault in
// that thread (after every test passed). A trace at the start brings the watcher up; the program goes
// on once every thread it has has come up, or after 10 s, so that a thread that never reports its start
// cannot hold the tests.
void start_result_watcher() {
  { ::testing::ScopedTrace start(__FILE__, __LINE__, "start"); }
  for (DWORD begin = GetTickCount(); threads_up < other_threads() && GetTickCount() - begin < 10000;) Sleep(1);
}

}  // namespace

extern "C" __attribute__((section(".CRT$XLY"), used)) const PIMAGE_TLS_CALLBACK velk_count_thread = count_thread;
#else
static void start_result_watcher() {}
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  report_errors_through_host();
  start_result_watcher();
  return RUN_ALL_TESTS();
}
