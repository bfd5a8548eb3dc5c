// The benchmark's build of the program times each step of the start
// (tests/bench/start_steps.cpp); in the shipped program the marks are empty.
#pragma once

#ifdef CORVANE_START_STEPS
// Notes the moment `step` ended.
void MarkStartStep(const char* step);
// Writes the moments beside the program, once it has nothing left to show.
void SaveStartSteps();
#else
inline void MarkStartStep(const char*) {}
inline void SaveStartSteps() {}
#endif
