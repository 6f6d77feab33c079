// Benchmarks of the frame path; each benchmark registers itself from its own file.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
