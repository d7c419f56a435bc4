#include "driver/run_control.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>

#include "run_helpers.hpp"

namespace sightline {
namespace {

using testing::observationText;
using testing::runInProcess;

struct FlagCase {
  std::array<const char*, 4> flags;
  const char* message;  // nullptr: the run solves
  std::int64_t sightings;
  std::array<int, 4> planeFlag;
};

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
        FlagCase{{"1", "1", "1", "1"}, nullptr, 4, {1, 1, 1, 1}},
        FlagCase{{"1", "0", "1", "1"}, nullptr, 3, {1, 0, 0, 0}},
        FlagCase{{"1", "1", "0", "1"}, nullptr, 3, {0, 0, 0, 1}},
        FlagCase{{"1", "0", "0", "1"}, nullptr, 2, {0, 0, 0, 0}},
        FlagCase{{"1.9", "0.99", "1", "-0.5"}, nullptr, 2, {0, 0, 0, 0}},
        FlagCase{{"1", "1", "2", "0"}, nullptr, 4, {1, 1, 1, 0}},
        FlagCase{{"2", "1", "1", "1"}, "Internal Error!\n", 5, {}},
        FlagCase{{"1", "1", "0", "0"}, "Each ViewPoint must have at least one observation\n", 2, {}},
        FlagCase{{"1", "-1", "1", "1"}, "Each ViewPoint must have at least one observation\n", 2, {}},
        FlagCase{{"1", "0", "0", "0"}, "Too few observations\n", 1, {}},
        FlagCase{{"0", "0", "0", "0"}, "Too few observations\n", 0, {}},
        FlagCase{{"", "", "", ""}, "Too few observations\n", 0, {}},
        // Saturated flags summed without overflow: INT_MAX + INT_MIN + 2 = 1.
        FlagCase{{"1e999", "-1e999", "1", "1"}, "Too few observations\n", 1, {}},
        FlagCase{{"1e999", "1", "1", "1"}, "Internal Error!\n", 0, {}},
        FlagCase{{"2147483647", "2147483647", "1", "1"}, "Internal Error!\n", 0, {}}));

TEST(RunControl, SaturatesFlagsAndSumsIn64Bits) {
  auto state = std::make_unique<RunState>();
  runInProcess(observationText({"1e999", "1", "-3e9", "1"}), *state);
  EXPECT_EQ(state->useFlag[0], INT_MAX);
  EXPECT_EQ(state->useFlag[2], INT_MIN);
  EXPECT_EQ(state->sightings, 1);
}

struct ChosenCase {
  std::array<const char*, 4> flags;
  std::array<int, 2> slots;
};

class ChosenSlots : public ::testing::TestWithParam<ChosenCase> {};

TEST_P(ChosenSlots, OnePerViewPoint) {
  auto state = std::make_unique<RunState>();
  runInProcess(observationText(GetParam().flags), *state);
  EXPECT_EQ(state->chosenSlot, GetParam().slots);
  EXPECT_EQ(state->success, 1);
}

INSTANTIATE_TEST_SUITE_P(Table, ChosenSlots,
                         ::testing::Values(ChosenCase{{"1", "0", "0", "1"}, {0, 3}},
                                           ChosenCase{{"0", "1", "1", "0"}, {1, 2}},
                                           ChosenCase{{"1", "0", "1", "0"}, {0, 2}},
                                           ChosenCase{{"0", "1", "0", "1"}, {1, 3}}));

struct ModeCase {
  const char* line17;
  int mode;
};

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
                         ::testing::Values(ModeCase{"1", kTraced}, ModeCase{"1.0", kTraced},
                                           ModeCase{"2", kNoRefraction}, ModeCase{"2.00", kNoRefraction},
                                           ModeCase{" 2e0", kNoRefraction}, ModeCase{"1.5", kStandardThenTraced},
                                           ModeCase{"3", kStandardThenTraced}, ModeCase{"", kStandardThenTraced},
                                           ModeCase{"two", kStandardThenTraced}));

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
  const char* noArgument[] = {"sightline"};
  EXPECT_EQ(runClassicCommandLine(1, noArgument, out, stderr), kExitMessage);
  const char* missing[] = {"sightline", "no such dir/obs 1.txt", "ignored"};
  EXPECT_EQ(runClassicCommandLine(3, missing, out, stderr), kExitMessage);
  const char* directory[] = {"sightline", "/"};
  EXPECT_EQ(runClassicCommandLine(2, directory, out, stderr), kExitMessage);
  std::fclose(out);
  EXPECT_EQ(std::string(buffer, size),
            "No File specified\nCan't open no such dir/obs 1.txt\nToo few observations\n");
  std::free(buffer);
}

}  // namespace
}  // namespace sightline
