// The public library's presets and version: the scenarios loaded as the
// windows load them, and the program's one version.
#include "encounter/presets.h"

#include "encounter/version.h"
#include "control/headless_port.h"
#include "setup/number_text.h"
#include "setup/presets.h"
#include "control/handlers.h"
#include "version.h"

namespace encounter {

std::vector<Preset> Presets() {
  std::vector<Preset> presets;
  for (double number : lab::PresetNumbers()) {
    lab::SimState s;
    lab::HeadlessPort port(s);
    lab::Form_Load(s, port);
    port.Paste(10, lab::NumberText(number));
    auto f = [&](int i) {
      std::string t = port.GetFieldText(i);
      t.erase(0, t.find_first_not_of(' '));
      return t;
    };
    Preset p;
    p.number = lab::NumberText(number);
    p.unit = port.GetUnitOption() ? Unit::kAU : Unit::kKm;
    p.m1 = f(0);
    p.m2 = f(1);
    p.m3 = f(2);
    p.dist1 = f(3);
    p.dist2 = f(4);
    p.start = f(11);
    p.end = f(12);
    p.dalpha = f(14);
    p.tdfact = f(13);
    p.regime = lab::RegimeName(s);
    p.pause = s.pauseflag != 0;
    p.reads = number == 0 ? "m2 m3 (m1 is 1), dist1 dist2 with AU (dist2 derived when m3 > 1), "
                            "start end dalpha tdfact"
                          : "dist1 dist2 with AU, start end dalpha tdfact; m1 m2 m3 only for "
                            "the regime";
    presets.push_back(p);
  }
  return presets;
}

const char* Version() { return lab::kVersion; }

}  // namespace encounter
