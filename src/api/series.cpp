// The public library's series: its scenario and options turned into the
// engine's request, and the engine's rows into the library's typed rows.
#include "encounter/series.h"

#include <cstdlib>
#include <cstring>

#include "api/api_rows.h"
#include "records/png_encode.h"
#include "series/crosscheck.h"
#include "series/run_series.h"
#include "setup/field_names.h"

namespace encounter {

namespace {

lab::SeriesRequest RequestOf(const Scenario& scenario, const SeriesOptions& o) {
  lab::SeriesRequest r;
  r.test = scenario.test;
  for (const auto& [name, text] : scenario.fields) {
    const int field = lab::FieldOfName(name);
    if (field < 0)
      throw InputError("unknown field \"" + name + "\" (" + lab::kFieldNameList + ")");
    r.sets.emplace_back(field, text);
  }
  if (scenario.unit) r.unit_au = *scenario.unit == Unit::kAU;
  r.max_steps = o.max_steps;
  r.jobs = o.jobs;
  r.lanes = o.lanes;
  r.shard = o.shard;
  r.shards = o.shards;
  r.energy = o.energy;
  r.full = o.full;
  r.crosscheck = o.crosscheck;
  r.picture = o.picture;
  r.picture_width = o.picture_width;
  r.picture_height = o.picture_height;
  r.integrator = o.integrator;
  r.args = o.command_line;
  return r;
}

End EndOf(const std::string& word) {
  static const char* const kWords[] = {"escaped", "receded", "absorbed", "passages",
                                       "limit",   "next",    "none"};
  for (int k = 0; k < 7; ++k)
    if (word == kWords[k]) return static_cast<End>(k);
  return End::kNone;
}

double NumberOf(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

Row RowOf(std::int64_t test, const lab::TestRow& t, const std::string& line) {
  Row row;
  row.test = test;
  double* const shown[] = {&row.alpha, &row.v1, &row.v2, &row.v3, &row.vesc, &row.r3, &row.rmin};
  for (int k = 0; k < 7; ++k) *shown[k] = NumberOf(t.row1[k]);
  row.vesc_heading = t.vesc_heading;
  row.v3_red = t.v3_red;
  row.steps = t.steps;
  row.end = EndOf(t.end);
  row.best = t.best;
  if (t.candidate) {
    row.ratio = t.ratio;
    row.ratio_body = t.ratio_body;
  }
  row.energy_err = t.energy_err;
  row.t_s = t.t_s;
  row.v1_kms = t.v[0];
  row.v2_kms = t.v[1];
  row.v3_kms = t.v[2];
  row.vesc_kms = t.vesc;
  row.r3_km = t.r3;
  row.rmin_km = t.rmin;
  row.vesc_body = t.vesc_body;
  if (t.cross) {
    CrossCheck c;
    c.end = EndOf(t.cross->end);
    c.v3_red = t.cross->v3_red;
    c.best = t.cross->best;
    if (t.cross->candidate) c.ratio = t.cross->ratio;
    if (t.cross->candidate && t.candidate && t.cross->ratio != 0)
      c.ratio_diff = (t.ratio - t.cross->ratio) / t.cross->ratio;
    row.cross = c;
  }
  row.differs = lab::OutcomesDiffer(t);
  row.csv = line;
  return row;
}

Picture PictureOf(const lab::PixelLayer& layer) {
  Picture p;
  p.width = layer.width;
  p.height = layer.height;
  p.rgb.reserve(layer.pixels.size() * 3);
  for (const std::int32_t pixel : layer.pixels) {
    const lab::ColourNumber c = pixel == lab::PixelLayer::kUnpainted ? lab::kWindowFace : pixel;
    p.rgb.push_back(static_cast<std::uint8_t>(lab::RedOf(c)));
    p.rgb.push_back(static_cast<std::uint8_t>(lab::GreenOf(c)));
    p.rgb.push_back(static_cast<std::uint8_t>(lab::BlueOf(c)));
  }
  return p;
}

}  // namespace

const char* EndName(End end) {
  static const char* const kWords[] = {"escaped", "receded", "absorbed", "passages",
                                       "limit",   "next",    "none"};
  return kWords[static_cast<int>(end)];
}

Series::Series(const Scenario& scenario, const SeriesOptions& options) {
  try {
    impl_ = std::make_unique<lab::PreparedSeries>(RequestOf(scenario, options));
  } catch (const lab::RefusedInput& e) {
    throw InputError(e.what());
  }
}

Series::~Series() = default;
Series::Series(Series&&) noexcept = default;
Series& Series::operator=(Series&&) noexcept = default;

const std::vector<std::string>& Series::setup_warnings() const { return impl_->setup_warnings(); }
std::int64_t Series::tests() const { return impl_->tests(); }
std::int64_t Series::tests_in_series() const { return impl_->series_tests(); }
int Series::threads() const { return impl_->jobs(); }
const std::string& Series::header() const { return impl_->header(); }
const std::string& Series::first_lines() const { return impl_->first_lines(); }
const std::string& Series::series_id() const { return impl_->id(); }

Summary Series::Run(const RowCallback& on_row, const ProgressCallback& on_progress,
                    const StopCallback& stop, const WarningCallback& on_warning) {
  Summary summary;
  summary.warnings = impl_->setup_warnings();
  lab::SeriesEvents events;
  events.row = [&](std::int64_t test, const lab::TestRow& row, const std::string& line) {
    if (on_row) on_row(RowOf(test, row, line));
  };
  events.warning = [&](const std::string& text) {
    summary.warnings.push_back(text);
    if (on_warning) on_warning(text);
  };
  const std::int64_t total = impl_->tests();
  if (on_progress) {
    events.progress = [&](std::int64_t done, std::int64_t steps) {
      on_progress(Progress{done, total, steps});
    };
  }
  const lab::RunStop run_stop(stop);
  lab::SeriesResult result;
  try {
    result = impl_->Run(events, run_stop);
  } catch (const lab::RefusedInput& e) {
    throw InputError(e.what());
  }
  if (result.stopped) throw Stopped("stopped before the series ended");
  summary.tests = result.written;
  summary.tests_in_series = impl_->series_tests();
  summary.first_lines = impl_->first_lines();
  summary.last_lines = result.last_lines;
  summary.record_json = result.record_json;
  summary.series_id = impl_->id();
  summary.crosscheck = result.cross_summary;
  if (impl_->request().picture) {
    summary.picture = PictureOf(result.picture);
    summary.png = lab::EncodePng(result.picture);
    if (summary.png.empty()) throw Error("the picture cannot be encoded");
  }
  return summary;
}

Summary RunSeries(const Scenario& scenario, const SeriesOptions& options,
                  const RowCallback& on_row, const ProgressCallback& on_progress,
                  const StopCallback& stop) {
  return Series(scenario, options).Run(on_row, on_progress, stop);
}

std::vector<std::string> FieldNames() {
  return {"m1", "m2", "m3", "dist1", "dist2", "start", "end", "tdfact", "dalpha"};
}

}  // namespace encounter

namespace lab {

encounter::Row ApiRow(std::int64_t test, const TestRow& row, const std::string& line) {
  return encounter::RowOf(test, row, line);
}

SeriesRequest RequestOfScenario(const encounter::Scenario& scenario,
                                const encounter::SeriesOptions& options) {
  return encounter::RequestOf(scenario, options);
}

}  // namespace lab
