// The step in groups of four lanes, compiled for processors with AVX2 and
// called only on them (LanesSupported, ShapeSupported). Only AVX2 is enabled, not FMA: no lane
// fuses a multiply and an add.
//
// PairEscapeSpeeds (encounter.h), written for any target, is always inlined
// into the AVX2 functions here, so no vector passes through a call of another
// convention; the compiler's warning about such calls does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "simulation/encounter.h"
#include "simulation/lane_step.h"

#pragma GCC push_options
#pragma GCC target("avx2")

#include "simulation/lane_kernel.h"

namespace lab {

namespace {

struct Avx2Ops {
  static constexpr int W = 4;
  using V = double __attribute__((vector_size(32)));
  // Lanes as bits and back: the mask of the lanes whose bits are set.
  using I = long long __attribute__((vector_size(32)));
  static auto Mask(unsigned bits) {
    I lane{};
    for (int k = 0; k < W; ++k) lane[k] = 1ll << k;
    return (lane & static_cast<long long>(bits)) != 0;
  }
  template <class M>
  static unsigned Bits(M m) {
    return static_cast<unsigned>(_mm256_movemask_pd(reinterpret_cast<__m256d>(m)));
  }
  static V Sqrt(V a) { return reinterpret_cast<V>(_mm256_sqrt_pd(reinterpret_cast<__m256d>(a))); }
  static V Load(const double* p) { return reinterpret_cast<V>(_mm256_loadu_pd(p)); }
  static void Store(double* p, V v) { _mm256_storeu_pd(p, reinterpret_cast<__m256d>(v)); }
};

}  // namespace

LaneStop AdvanceAvx2Lanes(LaneBlock& b, int groups, unsigned active) {
  return AdvanceGroups<Avx2Ops>(b, groups, active);
}

}  // namespace lab

#pragma GCC pop_options
