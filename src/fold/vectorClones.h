#pragma once
// The row kernels of the exact engines carry most of their work; an AVX-512 or AVX2 copy is
// picked at load time where the processor has one, so the binary stays portable. Not under
// ThreadSanitizer, whose instrumented resolvers would run before its runtime is up.

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define KORVANE_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define KORVANE_VECTOR_CLONES
#endif
