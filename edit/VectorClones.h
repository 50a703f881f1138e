#pragma once

// The sample loops that bound an edit's speed are built twice, for AVX2 and
// for any x86-64, and the loader picks the one the processor runs (GCC's
// function multiversioning).  Both give the very same samples: they use
// the same correctly rounded operations, only more of them at a time.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VELMORA_VECTOR_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define VELMORA_VECTOR_CLONES
#endif
