// The constants of the simulation and the twenty built-in scenarios, and the
// loader that puts one of them into the state and the Control Display.
#include "setup/presets.h"

#include "setup/number_text.h"
#include "setup/units.h"

namespace lab {

namespace {

// pauseflag of a preset that leaves the flag as the user had it.
constexpr int kKeep = -1;

// Values a few presets set beyond their columns; zero means "keep the constant".
struct Further {
  bool mul0_tenth_m3 = false;  // mul0 = m3 / 10 with the row's m3
  double vcap = 0;
  double G = 0;
  double msun = 0;
  double mul2 = 0;
  double mbig = 0;
};

// One scenario. Distances are in AU when auflag is 1, else in km; masses in
// units of msun; angles in degrees. dist2 is dist1 * dist2f.
struct Preset {
  double testno;
  double dist1, dist2f;
  double m1, m2, m3;
  double alphastart, alphaend, dalpha;
  double tdeltafact;
  int auflag, pauseflag, pcntmax;
  Further further;
};

// Presets 0 and 1 differ only in tdeltafact, 3 and 3.5 only in dist2f, 5 and
// 5.5 only in the angles, 6 and 6.5 in the angles and vcap. 8 to 11, 107 and
// 108 have a dominant central mass; 101 runs in units where G = 1.
constexpr Preset kPresets[] = {
    // no dist1    dist2f m1       m2   m3       alphastart alphaend   dalpha   tdf  au pause  pcnt further
    {0,   10000,   2.5,   1,       1,   0.001,   0,         180,       10,      0.5, 0, 0,     0,   {}},
    {1,   10000,   2.5,   1,       1,   0.001,   0,         180,       10,      2,   0, 0,     0,   {}},
    {2,   1,       2.5,   1,       1,   0.001,   0,         180,       10,      2,   1, 0,     0,   {}},
    {3,   0.04,    2,     100,     100, 0.5,     0,         180,       10,      2,   1, 0,     0,   {}},
    {3.5, 0.04,    5,     100,     100, 0.5,     0,         180,       10,      2,   1, 0,     0,   {}},
    {4,   1,       2,     100,     100, 0.5,     0,         180,       10,      2,   1, 0,     0,   {}},
    {5,   1000000, 15,    1,       1,   100,     0,         180,       10,      10,  0, 0,     0,   {.mul0_tenth_m3 = true, .vcap = 1000000}},
    {5.5, 1000000, 15,    1,       1,   100,     165,       172,       1,       10,  0, 0,     0,   {.mul0_tenth_m3 = true, .vcap = 1000000}},
    {6,   1000000, 30,    1,       1,   1000,    0,         180,       10,      50,  0, 0,     0,   {.mul0_tenth_m3 = true}},
    {6.5, 1000000, 30,    1,       1,   1000,    160,       180,       2,       50,  0, 0,     0,   {.mul0_tenth_m3 = true, .vcap = 1000000}},
    {7,   1000000, 50,    1,       1,   10000,   0,         180,       10,      10,  0, 0,     0,   {.mul0_tenth_m3 = true, .vcap = 1000000}},
    {8,   1000,    1.1,   4000000, 1,   1,       350.6225,  350.625,   0.0005,  100, 1, 0,     2,   {}},
    {9,   1000,    1.1,   4000000, 100, 1,       350.616,   350.62805, 0.002,   25,  1, 0,     2,   {.mul2 = 40}},
    {10,  10000,   1.4,   4000000, 100, 1,       325.432,   325.439,   0.001,   10,  1, 0,     2,   {}},
    {11,  300,     1.4,   4000000, 20,  1,       325.435,   325.43701, 0.00025, 60,  1, 0,     2,   {}},
    {101, 200,     2.5,   1,       1,   0.001,   0,         180,       10,      2,   0, kKeep, 0,   {.G = 1, .msun = 1000}},
    {105, 1000000, 50,    100,     100, 4000000, 0,         180,       10,      10,  0, 0,     0,   {.mul0_tenth_m3 = true}},
    {107, 1000,    1.1,   40000,   1,   1,       350.59,    350.64,    0.005,   80,  1, 0,     3,   {.mbig = 10000}},
    {108, 1000,    1.1,   4000000, 50,  1,       350.63,    350.65,    0.002,   40,  1, 1,     3,   {}},
    {111, 1,       2,     100,     25,  0.5,     0,         360,       10,      2,   1, 0,     0,   {}},
};

// The constants, put back on every load so that a preset's own G, msun,
// vcap, mbig, mul0 or mul2 lasts only until the next one.
void SetConstants(SimState& s) {
  s.mul_dist2 = 2.2;
  s.mul0 = 10;
  s.mul1 = 40;
  s.mul2 = 200;
  s.escape = 0.4;
  s.mbig = 1000000;
  s.G = 6.672e-20;
  s.auc = kKmPerAu;
  s.msun = 1.9891e30;
  s.vcap = 300000;
}

// The first row whose number equals testno exactly; none for any other number.
const Preset* FindPreset(double testno) {
  for (const Preset& p : kPresets)
    if (p.testno == testno) return &p;
  return nullptr;
}

void LoadPreset(SimState& s, const Preset& p) {
  s.dist1 = p.dist1;
  s.dist2f = p.dist2f;
  s.dist2 = p.dist1 * p.dist2f;
  s.m1 = p.m1;
  s.m2 = p.m2;
  s.m3 = p.m3;
  s.alphastart = p.alphastart;
  s.alphaend = p.alphaend;
  s.dalpha = p.dalpha;
  s.tdeltafact = p.tdeltafact;
  s.auflag = p.auflag;
  if (p.pauseflag != kKeep) s.pauseflag = p.pauseflag;
  s.pcntmax = p.pcntmax;

  const Further& f = p.further;
  if (f.mul0_tenth_m3) s.mul0 = p.m3 / 10;
  if (f.vcap != 0) s.vcap = f.vcap;
  if (f.G != 0) s.G = f.G;
  if (f.msun != 0) s.msun = f.msun;
  if (f.mul2 != 0) s.mul2 = f.mul2;
  if (f.mbig != 0) s.mbig = f.mbig;

  // The distances just loaded are in AU when auflag is 1: the next INIT1
  // converts them to km once.
  s.aupending = p.auflag;
}

}  // namespace

std::vector<double> PresetNumbers() {
  std::vector<double> numbers;
  for (const Preset& p : kPresets) numbers.push_back(p.testno);
  return numbers;
}

bool IsPreset(double testno) { return FindPreset(testno) != nullptr; }

std::string PresetList() {
  std::string list;
  for (const Preset& p : kPresets) list += (list.empty() ? "" : " ") + NumberText(p.testno);
  return list;
}

// The same rules as the set-up of a test: a dominant body 0 first, then a
// body 2 heavy enough to rest while the pair falls towards it.
const char* RegimeName(const SimState& s) {
  if (s.m1 >= s.mbig) return "central mass";
  if (s.m3 >= 1) return "heavy body 3";
  return "pair";
}

void INIT0(SimState& s, DisplayPort& port) {
  SetConstants(s);

  if (const Preset* p = FindPreset(s.testno)) LoadPreset(s, *p);

  s.mstart[0] = s.m1 * s.msun;
  s.mstart[1] = s.m2 * s.msun;
  s.mstart[2] = s.m3 * s.msun;

  // Distances carry no unit text: a preset in AU shows " 1", not "1 AU".
  port.SetFieldText(3, SignedText(s.dist1));
  port.SetFieldText(4, SignedText(s.dist2));
  port.SetFieldText(0, NumberText(s.m1));
  port.SetFieldText(1, NumberText(s.m2));
  port.SetFieldText(2, NumberText(s.m3));
  for (int i = 5; i <= 9; ++i) port.SetFieldText(i, "");
  port.SetFieldText(11, NumberText(s.alphastart));
  port.SetFieldText(12, NumberText(s.alphaend));
  port.SetFieldText(13, SignedText(s.tdeltafact));
  port.SetFieldText(14, NumberText(s.dalpha));

  port.SetUnitOption(s.auflag != 0);

  s.alpha0 = s.alphastart;
}

}  // namespace lab
