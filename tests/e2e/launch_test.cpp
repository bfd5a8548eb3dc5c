#include "tests/e2e/harness.h"

void RunLaunchTests() {}
