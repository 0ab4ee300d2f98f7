// Other builds of the tool (the static ones, the aarch64 one under qemu-user) must behave as the
// dynamic one. libfaketime cannot reach a static binary, so they are compared at the real clock.
//
// QX_SAME_OUTPUT lists the builds, separated by ':', the reference first, each by its absolute
// path. An entry "EMULATOR PATH" runs PATH under qemu-user, whose -0 passes argument 0 on. When
// the variable is unset, the comparisons are skipped; scripts/check-static.sh sets it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"

namespace qx_test {

inline std::vector<std::vector<std::string>> sameOutputBuilds() {
  std::vector<std::vector<std::string>> builds;
  const char* list = std::getenv("QX_SAME_OUTPUT");
  std::istringstream entries(list == nullptr ? "" : list);
  for (std::string entry; std::getline(entries, entry, ':');) {
    std::istringstream words(entry);
    builds.emplace_back();
    for (std::string word; words >> word;) builds.back().push_back(word);
  }
  return builds;
}

inline std::pair<std::string, int> runBuild(const std::vector<std::string>& build,
                                            std::vector<std::string> args,
                                            const std::vector<std::string>& env) {
  if (build.size() == 1) return runProcess(build[0].c_str(), args, env);
  // qemu cannot start a program with no argument 0; it then passes the path.
  const std::string name = args.empty() ? build[1] : args[0];
  if (!args.empty()) args.erase(args.begin());
  args.insert(args.begin(), {build[0], "-0", name, build[1]});
  return runProcess(build[0].c_str(), args, env);
}

// Runs every build with this argument vector (argument 0 included) and environment, and expects
// each one's whole standard output and exit status to equal the reference's. All the runs are
// repeated while the real clock's second changes during them, so that they all see one second.
inline void expectSameOutput(const std::vector<std::string>& args,
                             const std::vector<std::string>& env, const std::string& label) {
  const auto builds = sameOutputBuilds();
  std::vector<std::pair<std::string, int>> results(builds.size());
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::time_t second = std::time(nullptr);
    for (size_t b = 0; b < builds.size(); ++b) results[b] = runBuild(builds[b], args, env);
    if (std::time(nullptr) == second) break;
  }
  // Two builds that cannot start agree too; the reference must have run.
  EXPECT_NE(results.at(0).first.find("\nReturning Exit Code "), std::string::npos) << label;
  for (size_t b = 1; b < builds.size(); ++b) {
    EXPECT_EQ(results[b], results[0]) << label << ": " << testing::PrintToString(builds[b]);
  }
}

// Whether QX_SAME_OUTPUT is set; a setting that names no build besides the reference fails.
inline bool haveOtherBuilds() {
  if (std::getenv("QX_SAME_OUTPUT") == nullptr) return false;
  EXPECT_GE(sameOutputBuilds().size(), 2U) << "QX_SAME_OUTPUT names no build to compare";
  return true;
}

}  // namespace qx_test
