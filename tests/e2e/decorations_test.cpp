#include "tests/e2e/harness.h"

void RunDecorationsTests() {}
int TakeScreenshot(const std::wstring&, const std::wstring&) { return 1; }
