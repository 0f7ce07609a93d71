#include "simulation/integrator_gauss_radau.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace lab {

namespace {

// x and y of bodies 0..2, in units of the problem's length and time.
constexpr int kN = 6;
using Vec = std::array<double, kN>;

// Within a step of length dt the acceleration is, at the fraction h of it,
//   a(h) = a0 + b[0] h + b[1] h^2 + ... + b[6] h^7,
// or in Newton's form on the spacings h1..h7 of the substeps,
//   a(h) = a0 + g[0] h + g[1] h (h - h1) + ... + g[6] h (h - h1)...(h - h6),
// whose g are the divided differences of the accelerations at the substeps.
constexpr int kOrder = 7;
using Coefficients = std::array<Vec, kOrder>;

struct Radau {
  double h[kOrder + 1]{};                // h[0] = 0, then the seven spacings
  double c[kOrder][kOrder]{};            // h (h - h1)...(h - hk) = sum of c[k][i] h^(i+1)
  double inverse[kOrder + 1][kOrder]{};  // 1 / (h[n] - h[k + 1])
  // The rounding of the accelerations, a few units in the last place of the
  // largest, as it reaches b[6]: below it b[6] says nothing about the step.
  double floor = 0;
};

// P7(x) + P8(x), with Legendre's polynomials: zero at x = -1 and at the seven
// other abscissae of the eight-point Radau quadrature on [-1, 1].
long double RadauPolynomial(long double x) {
  long double p0 = 1, p1 = x;
  for (int n = 1; n < 8; ++n) {
    const long double p2 = ((2 * n + 1) * x * p1 - n * p0) / (n + 1);
    p0 = p1;
    p1 = p2;
  }
  return p0 + p1;
}

// The seven roots in (-1, 1), found by bisection between the sign changes
// on a fine grid, mapped onto (0, 1).
void FindSpacings(double* h) {
  constexpr int kGrid = 2000;
  int found = 0;
  long double lo = -1 + 1.0L / kGrid;
  for (int j = 2; j <= 2 * kGrid && found < kOrder; ++j) {
    long double hi = -1 + static_cast<long double>(j) / kGrid;
    if ((RadauPolynomial(lo) < 0) != (RadauPolynomial(hi) < 0)) {
      long double a = lo, b = hi;
      const bool rising = RadauPolynomial(a) < 0;
      for (int i = 0; i < 100; ++i) {
        const long double mid = (a + b) / 2;
        if ((RadauPolynomial(mid) < 0) == rising) {
          a = mid;
        } else {
          b = mid;
        }
      }
      h[1 + found++] = static_cast<double>((1 + (a + b) / 2) / 2);
    }
    lo = hi;
  }
}

Radau MakeRadau() {
  Radau r;
  FindSpacings(r.h);
  // The product h (h - h1)...(h - hk), one factor at a time.
  long double p[kOrder][kOrder] = {};
  p[0][0] = 1;
  for (int k = 1; k < kOrder; ++k) {
    for (int i = 0; i <= k; ++i) {
      p[k][i] = (i > 0 ? p[k - 1][i - 1] : 0) - r.h[k] * (i < k ? p[k - 1][i] : 0);
    }
  }
  for (int k = 0; k < kOrder; ++k) {
    for (int i = 0; i < kOrder; ++i) r.c[k][i] = static_cast<double>(p[k][i]);
  }
  for (int n = 1; n <= kOrder; ++n) {
    for (int k = 0; k + 1 < n; ++k) r.inverse[n][k] = 1 / (r.h[n] - r.h[k + 1]);
  }
  // b[6] is the divided difference of the eight accelerations: the sum of
  // a[n] / prod (h[n] - h[m]) over the other m.
  constexpr double kUlps = 4;
  for (int n = 0; n <= kOrder; ++n) {
    double product = 1;
    for (int m = 0; m <= kOrder; ++m) product *= m == n ? 1 : r.h[n] - r.h[m];
    r.floor += kUlps * std::numeric_limits<double>::epsilon() / std::abs(product);
  }
  return r;
}

const Radau& Table() {
  static const Radau r = MakeRadau();
  return r;
}

// A state with its compensations: the positions are x + ex, the velocities
// v + ev, the small parts carried from one step to the next so that the
// rounding of the sums does not accumulate.
struct Phase {
  Vec x{}, ex{}, v{}, ev{};
};

// s + e = a + b exactly (Knuth's two-sum).
void TwoSum(double a, double b, double* s, double* e) {
  *s = a + b;
  const double bb = *s - a;
  *e = (a - (*s - bb)) + (b - bb);
}

struct Gravity {
  std::array<double, 3> mu{};  // G times the mass of each body
  bool Moves(int n) const { return mu[n / 2] > 0; }

  // The positions are x + d, with d small: the distance of two bodies close
  // together far from the origin keeps its digits when the large parts are
  // subtracted first.
  void operator()(const Vec& x, const Vec& d, Vec& a) const {
    a.fill(0);
    for (int i = 0; i < 3; ++i) {
      if (!(mu[i] > 0)) continue;
      for (int j = i + 1; j < 3; ++j) {
        if (!(mu[j] > 0)) continue;
        const double dx = (x[2 * j] - x[2 * i]) + (d[2 * j] - d[2 * i]);
        const double dy = (x[2 * j + 1] - x[2 * i + 1]) + (d[2 * j + 1] - d[2 * i + 1]);
        const double r2 = dx * dx + dy * dy;
        const double f = 1 / (r2 * std::sqrt(r2));
        a[2 * i] += mu[j] * f * dx;
        a[2 * i + 1] += mu[j] * f * dy;
        a[2 * j] -= mu[i] * f * dx;
        a[2 * j + 1] -= mu[i] * f * dy;
      }
    }
  }
};

// The changes of position and velocity of component n from the start of a
// step of length dt to its fraction h: b[k] h^(k+1) integrated once gives
// b[k] h^(k+2) / (k+2), twice b[k] h^(k+3) / ((k+2)(k+3)).
constexpr double kOnce[kOrder] = {1.0 / 2, 1.0 / 3, 1.0 / 4, 1.0 / 5, 1.0 / 6, 1.0 / 7, 1.0 / 8};
constexpr double kTwice[kOrder] = {1.0 / 6,  1.0 / 12, 1.0 / 20, 1.0 / 30,
                                   1.0 / 42, 1.0 / 56, 1.0 / 72};

double PositionChange(const Phase& p, const Vec& a0, const Coefficients& b, double dt, double h,
                      int n) {
  double s = b[6][n] * kTwice[6];
  for (int k = 5; k >= 0; --k) s = s * h + b[k][n] * kTwice[k];
  const double dth = dt * h;
  return p.ev[n] * dth + p.v[n] * dth + dth * dth * (s * h + a0[n] * 0.5);
}

double VelocityChange(const Vec& a0, const Coefficients& b, double dt, double h, int n) {
  double s = b[6][n] * kOnce[6];
  for (int k = 5; k >= 0; --k) s = s * h + b[k][n] * kOnce[k];
  return dt * h * (s * h + a0[n]);
}

// The state at the fraction h of the step.
Phase StateAt(const Gravity& gravity, const Phase& p, const Vec& a0, const Coefficients& b,
              double dt, double h) {
  Phase q = p;
  for (int n = 0; n < kN; ++n) {
    if (!gravity.Moves(n)) continue;
    TwoSum(p.x[n], PositionChange(p, a0, b, dt, h, n) + p.ex[n], &q.x[n], &q.ex[n]);
    TwoSum(p.v[n], VelocityChange(a0, b, dt, h, n) + p.ev[n], &q.v[n], &q.ev[n]);
  }
  return q;
}

// The Newton form of the polynomial b: back from monomials to divided
// differences through the triangular table c (whose diagonal is 1).
Coefficients NewtonForm(const Coefficients& b) {
  const Radau& r = Table();
  Coefficients g{};
  for (int n = 0; n < kN; ++n) {
    for (int k = kOrder - 1; k >= 0; --k) {
      double s = b[k][n];
      for (int j = k + 1; j < kOrder; ++j) s -= r.c[j][k] * g[j][n];
      g[k][n] = s;
    }
  }
  return g;
}

// Predictor and corrector: the accelerations at the substeps from the
// present polynomial, the polynomial again from them, until its highest
// coefficient no longer changes. b holds the guess and returns the result.
// Returns the largest acceleration seen.
double Converge(const Gravity& gravity, const Phase& p, const Vec& a0, double dt, Coefficients& b) {
  constexpr int kMaxIterations = 12;
  const Radau& r = Table();
  Coefficients g = NewtonForm(b);
  double previous = std::numeric_limits<double>::infinity();
  double amax = 0;
  for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
    const Vec last = b[kOrder - 1];
    amax = 0;
    for (int sub = 1; sub <= kOrder; ++sub) {
      Vec moved_by;
      for (int n = 0; n < kN; ++n)
        moved_by[n] = PositionChange(p, a0, b, dt, r.h[sub], n) + p.ex[n];
      Vec a;
      gravity(p.x, moved_by, a);
      for (int n = 0; n < kN; ++n) {
        amax = std::max(amax, std::abs(a[n]));
        // The divided difference of the new acceleration with those below it.
        double d = (a[n] - a0[n]) / r.h[sub];
        for (int k = 0; k + 1 < sub; ++k) d = (d - g[k][n]) * r.inverse[sub][k];
        const double change = d - g[sub - 1][n];
        g[sub - 1][n] = d;
        for (int i = 0; i < sub; ++i) b[i][n] += r.c[sub - 1][i] * change;
      }
    }
    double top = 0;
    for (int n = 0; n < kN; ++n) top = std::max(top, std::abs(b[kOrder - 1][n] - last[n]));
    const double change = amax > 0 ? top / amax : 0;
    // Converged to rounding; or the next change, as much smaller than this
    // one as this one was than the last, would be; or no longer improving.
    constexpr double kRounding = 1e-16;
    if (!(change > kRounding)) break;
    if (iteration > 0 && change * (change / previous) < kRounding) break;
    if (iteration > 1 && change >= previous) break;
    previous = change;
  }
  return amax;
}

// The polynomial of a step of the same start q times as long: a(q h).
Coefficients Scaled(const Coefficients& b, double q) {
  Coefficients s = b;
  double f = q;
  for (int k = 0; k < kOrder; ++k, f *= q) {
    for (double& v : s[k]) v *= f;
  }
  return s;
}

// The guess for the next step, q times as long as the last: the last step's
// polynomial continued, a(1 + q h) re-expanded in h.
Coefficients Continued(const Coefficients& b, double q) {
  // binomial[j][k] = C(j + 1, k + 1).
  static constexpr double binomial[kOrder][kOrder] = {
      {1, 0, 0, 0, 0, 0, 0},    {2, 1, 0, 0, 0, 0, 0},   {3, 3, 1, 0, 0, 0, 0},
      {4, 6, 4, 1, 0, 0, 0},    {5, 10, 10, 5, 1, 0, 0}, {6, 15, 20, 15, 6, 1, 0},
      {7, 21, 35, 35, 21, 7, 1}};
  Coefficients e{};
  for (int n = 0; n < kN; ++n) {
    double f = q;
    for (int k = 0; k < kOrder; ++k, f *= q) {
      double s = 0;
      for (int j = kOrder - 1; j >= k; --j) s += binomial[j][k] * b[j][n];
      e[k][n] = f * s;
    }
  }
  return e;
}

// The power of two nearest to x, or 1 when x is not a positive number:
// units that scale without rounding.
double PowerOfTwo(double x) {
  if (!(x > 0) || !std::isfinite(x)) return 1;
  int e = 0;
  const double m = std::frexp(x, &e);  // x = m 2^e, 0.5 <= m < 1
  return std::ldexp(1.0, m < std::sqrt(0.5) ? e - 1 : e);
}

}  // namespace

const double* GaussRadauSpacings() { return Table().h + 1; }

struct GaussRadauMotion::Impl {
  double G = 0;       // km^3 / (kg s^2)
  double length = 1;  // km per unit, a power of two
  double time = 1;    // s per unit, a power of two
  double tolerance = 0;
  std::array<double, 3> mass{};
  Gravity gravity;

  // The last step: from its start (time t0, state p0, accelerations a0) by
  // dt, with its polynomial b, to the state now at time t0 + dt.
  double t0 = 0, dt = 0;
  Phase p0, now;
  Vec a0{};
  Coefficients b{};
  double next = 1e-4;    // the next step's length
  Coefficients guess{};  // and its polynomial, as far as it is known

  Vec Accelerations(const Phase& p) const {
    Vec a;
    gravity(p.x, p.ex, a);
    return a;
  }

  void Start(const Bodies& bodies, double t) {
    mass = bodies.m;
    // G m in units of length^3 / time^2; only the product G m rounds.
    const double unit = time * time / (length * length * length);
    for (int i = 0; i < 3; ++i) gravity.mu[i] = bodies.m[i] > 0 ? G * bodies.m[i] * unit : 0;
    const double speed = length / time;
    now = Phase{};
    for (int i = 0; i < 3; ++i) {
      now.x[2 * i] = bodies.x[i] / length;
      now.x[2 * i + 1] = bodies.y[i] / length;
      now.v[2 * i] = bodies.vx[i] / speed;
      now.v[2 * i + 1] = bodies.vy[i] / speed;
    }
    t0 = t / time;
    dt = 0;
    p0 = now;
    a0 = Accelerations(now);
    guess = Coefficients{};
  }

  Bodies Unscaled(const Phase& p) const {
    Bodies out;
    out.m = mass;
    const double speed = length / time;
    for (int i = 0; i < 3; ++i) {
      out.x[i] = (p.x[2 * i] + p.ex[2 * i]) * length;
      out.y[i] = (p.x[2 * i + 1] + p.ex[2 * i + 1]) * length;
      out.vx[i] = (p.v[2 * i] + p.ev[2 * i]) * speed;
      out.vy[i] = (p.v[2 * i + 1] + p.ev[2 * i + 1]) * speed;
    }
    return out;
  }

  // One accepted step from now: the step shrinks and is taken again while
  // its highest coefficient says it was too long.
  void Advance() {
    constexpr double kShrinkAtMost = 0.25;  // a smaller ratio takes the step again
    constexpr double kGrowAtMost = 4;
    const Vec start_a = Accelerations(now);
    double h = next;
    Coefficients poly = guess;
    for (;;) {
      if (!(h > 0) || t0 + dt + h == t0 + dt) throw std::runtime_error("step size underflow");
      const double amax = Converge(gravity, now, start_a, h, poly);
      double top = 0;
      for (double v : poly[kOrder - 1]) top = std::max(top, std::abs(v));
      // The step that would bring the relative size of the highest
      // coefficient to the tolerance: it grows as the seventh power.
      const double wanted = std::max(tolerance, Table().floor);
      double ratio = kGrowAtMost;
      if (amax > 0 && top > 0) ratio = std::min(kGrowAtMost, std::pow(wanted * amax / top, 1.0 / 7));
      if (ratio < kShrinkAtMost) {
        h *= ratio;
        poly = Scaled(poly, ratio);
        continue;
      }
      t0 = t0 + dt;
      dt = h;
      p0 = now;
      a0 = start_a;
      b = poly;
      now = StateAt(gravity, p0, a0, b, dt, 1);
      next = h * ratio;
      guess = Continued(b, ratio);
      break;
    }
    for (int n = 0; n < kN; ++n) {
      if (!std::isfinite(now.x[n]) || !std::isfinite(now.v[n]))
        throw std::runtime_error("the state is no longer finite");
    }
  }
};

GaussRadauMotion::GaussRadauMotion(double G, const Bodies& start, double length, double tolerance)
    : impl_(std::make_unique<Impl>()) {
  double total = 0;
  for (double m : start.m) total += m > 0 ? m : 0;
  impl_->G = G;
  impl_->length = PowerOfTwo(length);
  impl_->time = PowerOfTwo(std::sqrt(length * length * length / (G * total)));
  impl_->tolerance = tolerance;
  impl_->Start(start, 0);
}

GaussRadauMotion::~GaussRadauMotion() = default;

double GaussRadauMotion::Step() {
  impl_->Advance();
  ++steps_;
  return Time();
}

double GaussRadauMotion::Time() const { return (impl_->t0 + impl_->dt) * impl_->time; }

Bodies GaussRadauMotion::At(double t) const {
  const Impl& m = *impl_;
  if (t == Time() || !(m.dt > 0)) return m.Unscaled(m.now);
  const double h = (t / m.time - m.t0) / m.dt;
  return m.Unscaled(StateAt(m.gravity, m.p0, m.a0, m.b, m.dt, h));
}

// The step's polynomial is within rounding of the motion at every moment of
// the step (its next term would be of degree 8, below the tolerance's
// degree 7 by another power of the step): a step integrated to the moment
// itself finds the same state.
Bodies GaussRadauMotion::Exact(double t) const { return At(t); }

void GaussRadauMotion::Restart(double t, const Bodies& b) { impl_->Start(b, t); }

}  // namespace lab
