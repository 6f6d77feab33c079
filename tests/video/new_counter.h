// Counts calls of the global operator new while switched on; the test binary replaces operator
// new to prove that a code path allocates nothing.
#pragma once

namespace kelpa::testing {

void StartCountingNew();
// Stops counting and returns the calls since StartCountingNew.
int StopCountingNew();

}  // namespace kelpa::testing
