// The public library's series: its scenario and options turned into the
// engine's request, and the engine's rows into the library's typed rows.
#include "encounter/series.h"

#include <cstdlib>
#include <cstring>

#include "api/api_rows.h"
#include "records/png_encode.h"
#include "series/crosscheck.h"
#include "series/ordered_pool.h"
#include "series/run_series.h"
#include "setup/field_names.h"
#include "version.h"

namespace encounter {

namespace {

End EndOf(const std::string& word) { return EndOfName(word).value_or(End::kNone); }

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
  row.untrusted = t.untrusted;
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

// The engine's prepared series behind the library's.
struct Series::Impl : lab::PreparedSeries {
  using lab::PreparedSeries::PreparedSeries;
};

Series::Series(const Scenario& scenario, const SeriesOptions& options) {
  try {
    impl_ = std::make_unique<Impl>(lab::RequestOf(scenario, options));
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
  events.warning = lab::KeepWarning(summary, on_warning);
  events.caveat = lab::KeepCaveat(summary, on_warning);
  const std::int64_t total = impl_->tests();
  if (on_progress) {
    events.progress = [&](std::int64_t done, std::int64_t steps) {
      on_progress(Progress{done, total, steps});
    };
  }
  const lab::RunStop run_stop(stop);
  const lab::SeriesResult result = lab::RunEngine(*impl_, events, run_stop);
  if (result.stopped) throw Stopped("stopped before the series ended");
  summary.tests = result.written;
  summary.tests_in_series = impl_->series_tests();
  summary.first_lines = impl_->first_lines();
  summary.series_id = impl_->id();
  lab::TakeRecord(result, &summary);
  const lab::SeriesRequest& r = impl_->request();
  if (r.shards > 0)
    summary.frame = ShardFrame{r.shard, r.shards, impl_->tests(), impl_->series_tests(), lab::kVersion, result.crc32};
  if (impl_->request().picture) {
    summary.picture = PictureOf(result.picture);
    summary.png = lab::EncodePng(result.picture);
    if (summary.png.empty()) throw Error("the picture cannot be encoded");
  }
  return summary;
}

bool IsCaveat(const std::string& warning) { return lab::IsSpeedCaveat(warning); }

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

SeriesRequest RequestOf(const encounter::Scenario& scenario, const encounter::SeriesOptions& o) {
  SeriesRequest r;
  static_cast<encounter::SeriesOptions&>(r) = o;
  r.test = scenario.test;
  for (const auto& [name, text] : scenario.fields) {
    const int field = FieldOfName(name);
    if (field < 0)
      throw encounter::InputError("unknown field \"" + name + "\" (" + kFieldNameList + ")");
    r.sets.emplace_back(field, text);
  }
  if (scenario.unit) r.unit_au = *scenario.unit == encounter::Unit::kAU;
  return r;
}

}  // namespace lab
