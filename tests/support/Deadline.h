// Time limits of the test servers and program runners: deadlines on the
// steady clock, and what is left of one in the milliseconds poll takes.
#ifndef ZELVORA_TESTS_SUPPORT_DEADLINE_H
#define ZELVORA_TESTS_SUPPORT_DEADLINE_H

#include <algorithm>
#include <chrono>
#include <climits>

typedef std::chrono::steady_clock CClock;

// 0 once the deadline has passed; a far one is cut to what an int holds.
inline int MillisecondsLeft(CClock::time_point deadline) {
  const long long left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - CClock::now()).count();
  return left < 0 ? 0 : static_cast<int>(std::min<long long>(left, INT_MAX));
}

#endif
