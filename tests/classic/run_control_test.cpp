#include "classic/run_control.hpp"
#include "classic/report.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include <climits>
#include <cstring>
#include <memory>

#include "run_helpers.hpp"

namespace sightline {
namespace {

using testing::observationText;
using testing::runInProcess;

struct FlagCase {
  const char* name;
  std::array<const char*, 4> flags;
  const char* message;  // nullptr: the run solves
  std::int64_t sightings;
  std::array<int, 4> planeFlag;
};
void PrintTo(const FlagCase& c, std::ostream* os) { *os << '"' << c.name << '"'; }

class UseFlags : public ::testing::TestWithParam<FlagCase> {};

TEST_P(UseFlags, DecideTheRun) {
  const auto& c = GetParam();
  auto state = std::make_unique<RunState>();
  const auto result = runInProcess(observationText(c.flags), *state);
  if (c.message != nullptr) {
    EXPECT_EQ(result.output, c.message);
    EXPECT_EQ(result.status, kExitMessage);
    return;
  }
  EXPECT_EQ(state->sightings, c.sightings);
  EXPECT_EQ(state->planeFlag, c.planeFlag);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UseFlags,
    ::testing::Values(
        FlagCase{"all_four", {"1", "1", "1", "1"}, nullptr, 4, {1, 1, 1, 1}},
        FlagCase{"three_plane_of_viewpoint2", {"1", "0", "1", "1"}, nullptr, 3, {1, 0, 0, 0}},
        FlagCase{"three_plane_of_viewpoint1", {"1", "1", "0", "1"}, nullptr, 3, {0, 0, 0, 1}},
        FlagCase{"two_slots_1_and_4", {"1", "0", "0", "1"}, nullptr, 2, {0, 0, 0, 0}},
        FlagCase{"truncated_toward_zero", {"1.9", "0.99", "1", "-0.5"}, nullptr, 2, {0, 0, 0, 0}},
        FlagCase{"flag_two_on_unused_plane", {"1", "1", "2", "0"}, nullptr, 4, {1, 1, 1, 0}},
        FlagCase{"sum_of_five", {"2", "1", "1", "1"}, "Internal Error!\n", 5, {}},
        FlagCase{"viewpoint2_without", {"1", "1", "0", "0"}, "Each ViewPoint must have at least one observation\n", 2, {}},
        FlagCase{"minus_one_cancels", {"1", "-1", "1", "1"}, "Each ViewPoint must have at least one observation\n", 2, {}},
        FlagCase{"one_sighting", {"1", "0", "0", "0"}, "Too few observations\n", 1, {}},
        FlagCase{"none", {"0", "0", "0", "0"}, "Too few observations\n", 0, {}},
        FlagCase{"empty_lines", {"", "", "", ""}, "Too few observations\n", 0, {}},
        // Saturated flags summed without overflow: INT_MAX + INT_MIN + 2 = 1.
        FlagCase{"saturated_cancel", {"1e999", "-1e999", "1", "1"}, "Too few observations\n", 1, {}},
        FlagCase{"saturated_high", {"1e999", "1", "1", "1"}, "Internal Error!\n", 0, {}},
        FlagCase{"int_max_twice", {"2147483647", "2147483647", "1", "1"}, "Internal Error!\n", 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunControl, SaturatesFlagsAndSumsIn64Bits) {
  auto state = std::make_unique<RunState>();
  runInProcess(observationText({"1e999", "1", "-3e9", "1"}), *state);
  EXPECT_EQ(state->useFlag[0], INT_MAX);
  EXPECT_EQ(state->useFlag[2], INT_MIN);
  EXPECT_EQ(state->sightings, 1);
}

struct ChosenCase {
  const char* name;
  std::array<const char*, 4> flags;
  std::array<int, 2> slots;
};
void PrintTo(const ChosenCase& c, std::ostream* os) { *os << '"' << c.name << '"'; }

class ChosenSlots : public ::testing::TestWithParam<ChosenCase> {};

TEST_P(ChosenSlots, OnePerViewPoint) {
  auto state = std::make_unique<RunState>();
  const auto result = runInProcess(observationText(GetParam().flags), *state);
  EXPECT_EQ(state->chosenSlot, GetParam().slots);
  EXPECT_EQ(result.status, kExitResults);
}

INSTANTIATE_TEST_SUITE_P(Table, ChosenSlots,
                         ::testing::Values(ChosenCase{"slots_1_and_4", {"1", "0", "0", "1"}, {0, 3}},
                                           ChosenCase{"slots_2_and_3", {"0", "1", "1", "0"}, {1, 2}},
                                           ChosenCase{"slots_1_and_3", {"1", "0", "1", "0"}, {0, 2}},
                                           ChosenCase{"slots_2_and_4", {"0", "1", "0", "1"}, {1, 3}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ModeCase {
  const char* name;
  const char* line17;
  int mode;
};
void PrintTo(const ModeCase& c, std::ostream* os) { *os << '"' << c.name << '"'; }

class RefractionModeLine : public ::testing::TestWithParam<ModeCase> {};

TEST_P(RefractionModeLine, SelectsTheMode) {
  auto state = std::make_unique<RunState>();
  runInProcess(observationText({"1", "1", "1", "1"}, GetParam().line17), *state);
  EXPECT_EQ(state->refractionMode, GetParam().mode);
  if (GetParam().mode == kNoRefraction) {
    EXPECT_EQ(state->passes, 1);
  } else {
    EXPECT_GE(state->passes, 2);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, RefractionModeLine,
                         ::testing::Values(ModeCase{"one", "1", kTraced}, ModeCase{"one_point_zero", "1.0", kTraced},
                                           ModeCase{"two", "2", kNoRefraction},
                                           ModeCase{"two_point_zero_zero", "2.00", kNoRefraction},
                                           ModeCase{"exponent", " 2e0", kNoRefraction},
                                           ModeCase{"one_and_a_half", "1.5", kStandardThenTraced},
                                           ModeCase{"three", "3", kStandardThenTraced},
                                           ModeCase{"empty", "", kStandardThenTraced},
                                           ModeCase{"word", "two", kStandardThenTraced}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RunControl, ApparentElevationsFollowTheMode) {
  auto standard = std::make_unique<RunState>();
  runInProcess(observationText({"1", "0", "1", "0"}, "0"), *standard);
  EXPECT_GT(standard->apparentElevation[0], 57.41);
  EXPECT_EQ(standard->apparentElevation[1], 0.0);  // unused slot: never set
  auto traced = std::make_unique<RunState>();
  runInProcess(observationText({"1", "0", "1", "0"}, "1"), *traced);
  EXPECT_EQ(traced->apparentElevation[0], 57.41);
  EXPECT_EQ(traced->passes, 5);
  EXPECT_NE(traced->workingElevation[0], 57.41);
  auto none = std::make_unique<RunState>();
  runInProcess(observationText({"1", "0", "1", "0"}, "2"), *none);
  EXPECT_EQ(none->passes, 1);
  EXPECT_EQ(none->workingElevation[0], 57.41);
}

TEST(RunControl, ThreeSightingsCorrectOnlyTheSingleSighting) {
  auto state = std::make_unique<RunState>();
  runInProcess(observationText({"1", "1", "0", "1"}, "1"), *state);
  EXPECT_EQ(state->workingElevation[0], 57.41);
  EXPECT_EQ(state->workingElevation[1], 54.20);
  EXPECT_NE(state->workingElevation[3], 38.78);
}

TEST(RunControl, PlaneOfAnUnusedSlotIsSingularAndPrintsTheCentre) {
  auto state = std::make_unique<RunState>();
  const auto result = runInProcess(observationText({"1", "1", "2", "0"}, "2"), *state);
  EXPECT_EQ(state->currentPoint[0], Vector3());
  EXPECT_EQ(state->currentPoint[1], Vector3());
  EXPECT_NE(state->currentPoint[2], Vector3());
  EXPECT_EQ(result.status, kExitResults);
  EXPECT_NE(result.output.find("Trajectory Point 1  h=-6378.137000 km  lon=90.000000  lat=0.000000\n"
                               "Trajectory Point 2  h=-6378.137000 km  lon=90.000000  lat=0.000000\n"),
            std::string::npos);
}

TEST(RunControl, CommandLineMessages) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  char* errBuffer = nullptr;
  std::size_t errSize = 0;
  std::FILE* err = open_memstream(&errBuffer, &errSize);
  const char* noArgument[] = {"sightline"};
  EXPECT_EQ(runClassicCommandLine(1, noArgument, out, err), kExitMessage);
  const char* missing[] = {"sightline", "no such dir/obs 1.txt", "ignored"};
  EXPECT_EQ(runClassicCommandLine(3, missing, out, err), kExitMessage);
  const char* directory[] = {"sightline", "/"};
  EXPECT_EQ(runClassicCommandLine(2, directory, out, err), kExitMessage);
  const char* dashesOnly[] = {"sightline", "--"};
  EXPECT_EQ(runClassicCommandLine(2, dashesOnly, out, err), kExitMessage);
  const char* dashedMissing[] = {"sightline", "--", "-obs.txt"};
  EXPECT_EQ(runClassicCommandLine(3, dashedMissing, out, err), kExitMessage);
  std::fclose(out);
  std::fclose(err);
  EXPECT_EQ(std::string(buffer, size),
            "No File specified\nCan't open no such dir/obs 1.txt\nToo few observations\n"
            "No File specified\nCan't open -obs.txt\n");
  EXPECT_EQ(std::string(errBuffer, errSize),
            "sightline: /: warning: cannot read the file (Is a directory); what was read counts, the rest as 0\n"
            "sightline: /:1: warning: the file is empty; every value counts as 0\n");
  std::free(buffer);
  std::free(errBuffer);
}

TEST(RunControl, StatusOfEachStageNamesItsMessage) {
  // Set-up, solution and outcome separately: the driver, not the solvers, prints.
  ObservationFile file;
  file.lineValue[kUseFlagLine] = 1;
  file.lineValue[kUseFlagLine + 1] = 1;
  auto state = std::make_unique<RunState>();
  EXPECT_EQ(setUpRun(file, *state), ClassicStatus::kViewPointWithoutObservation);
  file.lineValue[kUseFlagLine + 1] = 0;
  file.lineValue[kUseFlagLine + 2] = 1;
  // Both stations at the same place looking the same way: the lines of sight coincide.
  ASSERT_EQ(setUpRun(file, *state), ClassicStatus::kSolved);
  EXPECT_EQ(solveRun(*state), ClassicStatus::kParallelLines);
  EXPECT_STREQ(classicMessage(ClassicStatus::kParallelLines), "Can't solve equation! Check input");
}

}  // namespace
}  // namespace sightline
