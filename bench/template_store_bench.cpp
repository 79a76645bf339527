// Whole-store operations of the template store on large stores: listing the
// templates (GetTemplateInfo), deleting one (DeleteLayout), forgetting a data
// file (DeleteFileName) and saving a template, each at 2,000, 4,000 and
// 10,000 templates. The store is generated in a temporary folder and removed
// afterwards. After the figures, the cost at 10,000 templates against the
// cost at 2,000 is printed for each operation: about 5 means the cost grows
// linearly with the store.
//
// Build with -DZEPHRIN_BENCH=ON and run build-*/zephrin_bench (bench/run-templates does both).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <unistd.h>

#include "catalogue/catalogue.h"
#include "service/xml_wrapper.h"
#include "templates/template_store.h"

namespace {

namespace fs = std::filesystem;
using zephrin::CxmlWrapper;
using zephrin::RecordingUserInterface;

constexpr const char* kItems[] = {"Company_Number", "Account_Number", "Account_Caption", "Account_Balance",
                                  "TRC",            "TCC",            "Account_Type",    "SIC_Code",
                                  "Activity_Number", "Activity_Name", "Beginning_Balance", "Unit",
                                  ""};

std::string TemplateName(int i) { return "TEMPLATE " + std::to_string(i); }

// A store as users' stores look: every template with its type and twelve
// item positions, one in ten international, the index, and one data file per
// template.
std::string MakeStore(int templates) {
  std::string out;
  out.reserve(static_cast<std::size_t>(templates) * 320);
  out += "[Import:CurDir]\nCurDir=/DATA\n";
  for (int i = 1; i <= templates; ++i) {
    out += "[Import:" + TemplateName(i) + "]\n";
    if (i % 10 == 0) out += "Info=INTL\nIntlType=DASTM CHART OF ACCOUNTS\n";
    else out += "Info=COA\nFsiType=FEDERAL\n";
    for (int k = 0; kItems[k][0] != '\0'; ++k) {
      out += kItems[k];
      out += "=" + std::to_string(k) + " " + std::to_string(i % 40) + " 0\n";
    }
  }
  out += "[Import:Layout]\n";
  for (int i = 1; i <= templates; ++i) out += std::to_string(i) + "=" + TemplateName(i) + "\n";
  out += "[Import:FileName]\n";
  for (int i = 1; i <= templates; ++i) {
    out += std::to_string(i) + "=/DATA/FILE" + std::to_string(i) + ".CSV^" + TemplateName(i) + "\n";
  }
  return out;
}

void WriteWhole(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// A temporary writable folder holding a generated store, with the service
// object pointed at it.
class StoreFixture {
 public:
  explicit StoreFixture(int templates) {
    std::string templ = (fs::temp_directory_path() / "zephrin-bench-XXXXXX").string();
    if (!mkdtemp(templ.data())) std::abort();
    m_dir = templ;
    setenv("ZEPHRINIMPORT_HOME", m_dir.c_str(), 1);
    setenv("ZEPHRINIMPORT_REGISTRY", (m_dir / "registry.ini").c_str(), 1);
    unsetenv("ZEPHRINIMPORT_TRACE");
    m_content = MakeStore(templates);
    Restore();
    m_service = std::make_unique<CxmlWrapper>(&m_ui);
    std::string info;
    m_service->GetTemplateInfo(info);  // settles where the store lives
  }
  ~StoreFixture() {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  CxmlWrapper& service() { return *m_service; }
  std::string store() const { return (m_dir / "import.ini").string(); }
  void Restore() { WriteWhole(store(), m_content); }

 private:
  fs::path m_dir;
  std::string m_content;
  RecordingUserInterface m_ui;
  std::unique_ptr<CxmlWrapper> m_service;
};

void ListTemplates(benchmark::State& state) {
  StoreFixture fixture(static_cast<int>(state.range(0)));
  std::string info;
  for (auto _ : state) {
    fixture.service().GetTemplateInfo(info);
    benchmark::DoNotOptimize(info.data());
  }
  if (info.find("<name>" + TemplateName(static_cast<int>(state.range(0))) + "</name>") == std::string::npos) {
    state.SkipWithError("the listing misses the last template");
  }
}

// Deletes the middle template (its section and its index entry, the index
// renumbered); the store is put back outside the timing.
void DeleteTemplate(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  StoreFixture fixture(n);
  for (auto _ : state) {
    fixture.service().DeleteLayout(TemplateName(n / 2));
    state.PauseTiming();
    fixture.Restore();
    state.ResumeTiming();
  }
}

// Forgets the data file of the middle template (the associations renumbered).
void ForgetFile(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  StoreFixture fixture(n);
  const std::string file = "/DATA/FILE" + std::to_string(n / 2) + ".CSV";
  for (auto _ : state) {
    fixture.service().DeleteFileName(file);
    state.PauseTiming();
    fixture.Restore();
    state.ResumeTiming();
  }
}

// Saves a new template (section, index entry, file association).
void SaveTemplate(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  StoreFixture fixture(n);
  zephrin::FieldInfoArray fields{};
  for (std::size_t i = 0; i < 12; ++i) fields[i] = zephrin::FieldInfo{static_cast<uint16_t>(i), 2, 0};
  zephrin::SaveTemplateRequest request;
  request.templateName = "NEW TEMPLATE";
  request.info = "COA";
  request.keys = kItems;
  request.fields = &fields;
  request.dataFileName = "/DATA/NEW.CSV";
  for (auto _ : state) {
    if (!zephrin::SaveTemplate(fixture.store(), request)) state.SkipWithError("the save failed");
    state.PauseTiming();
    fixture.Restore();
    state.ResumeTiming();
  }
}

BENCHMARK(ListTemplates)->Arg(2000)->Arg(4000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(DeleteTemplate)->Arg(2000)->Arg(4000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(ForgetFile)->Arg(2000)->Arg(4000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveTemplate)->Arg(2000)->Arg(4000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The console figures, and the time of every run kept for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      seconds[run.benchmark_name()] = run.GetAdjustedRealTime() / 1e3;  // reported in milliseconds
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-16s %14s %14s %14s %16s\n", "operation", "2000 (ms)", "4000 (ms)", "10000 (ms)",
              "10000 vs 2000");
  for (const char* op : {"ListTemplates", "DeleteTemplate", "ForgetFile", "SaveTemplate"}) {
    const std::string base = op;
    auto at = [&](int n) {
      auto it = reporter.seconds.find(base + "/" + std::to_string(n));
      return it == reporter.seconds.end() ? -1.0 : it->second;
    };
    const double small = at(2000), mid = at(4000), large = at(10000);
    if (small <= 0 || large <= 0) continue;
    std::printf("%-16s %14.3f %14.3f %14.3f %16.2f\n", op, small * 1e3, mid * 1e3, large * 1e3, large / small);
  }
  benchmark::Shutdown();
  return 0;
}
