// What one call of the event pump costs on Windows when the queue is empty, beside the calls it
// is built from. Run under Wine:
//   WINEPREFIX=$PWD/build/win32/wineprefix scripts/wine-run.sh
//   build/win32/bench/quilmar_pump_cost.exe
#include <cstdio>

#include "host/event_pump.h"
#include "quilmar/com_types.h"

namespace {

template <class F>
double ns_per_call(int calls, F f) {
  LARGE_INTEGER freq, start, end;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&start);
  for (int i = 0; i < calls; ++i) f();
  QueryPerformanceCounter(&end);
  return static_cast<double>(end.QuadPart - start.QuadPart) * 1e9 /
         static_cast<double>(freq.QuadPart) / calls;
}

volatile DWORD sink;

}  // namespace

int main() {
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread now has a queue
  const double peek = ns_per_call(20000, [&] { PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); });
  const double status = ns_per_call(20000, [] { sink = GetQueueStatus(QS_ALLINPUT); });
  const double tick = ns_per_call(10000000, [] { sink = GetTickCount(); });
  const double pump = ns_per_call(10000000, [] { quilmar::yield_events(); });
  std::printf("PeekMessageW, empty queue: %10.1f ns\n", peek);
  std::printf("GetQueueStatus:            %10.1f ns\n", status);
  std::printf("GetTickCount:              %10.1f ns\n", tick);
  std::printf("yield_events (gated pump): %10.1f ns\n", pump);
  return 0;
}
