#pragma once

// The sample loops that bound an edit's speed are built three times, for
// AVX-512 (x86-64-v4), for AVX2 and for any x86-64, and the loader picks the
// best one the processor runs (GCC's function multiversioning).  All give
// the very same samples: they use the same correctly rounded operations,
// only more of them at a time (the edit library is built with
// -ffp-contract=off, so that v4's fused multiply-add never joins two of
// them).
// VELMORA_ONE_SAMPLE_LOOP (CMake's VELMORA_VECTOR_CLONES=OFF) builds them
// once, for any x86-64, which bench/simd-bench.sh times against the three.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(VELMORA_ONE_SAMPLE_LOOP)
#define VELMORA_VECTOR_CLONES [[gnu::target_clones("arch=x86-64-v4", "avx2", "default")]]
#else
#define VELMORA_VECTOR_CLONES
#endif
