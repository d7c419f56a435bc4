// The command line of the shower table and of `sightline summary`: exit statuses
// and messages that name the file (and line) at fault.
#include <gtest/gtest.h>

#include <string>

#include "cli/cli_helpers.hpp"
#include "common/exit_status.hpp"

namespace sightline {
namespace {

using testing::runSightline;
using testing::writeTemp;

const std::string kOrionid =
    "orbit --time 2019-10-23T09:12:25.56Z --latitude 44.1307 --longitude -81.3206 --height 116070 "
    "--azimuth 162.21 --elevation 61.0 --speed 67.405";

TEST(ShowerTableOption, AMalformedTableIsExitThreeNamingItsLine) {
  const std::string table = writeTemp("bad-showers.csv", "lp,iau,ad,code,name,status,solar_longitude,ra,dec,vg\n"
                                                         "22,4,0,GEM,Geminids,1,262.1,113.2,32.5,fast\n");
  const auto run = runSightline(kOrionid + " --showers " + table);
  EXPECT_EQ(run.status, kExitInput);
  EXPECT_NE(run.err.find(table + ":2: vg: 'fast'"), std::string::npos) << run.err;
  EXPECT_TRUE(run.out.empty());
}

TEST(ShowerTableOption, TheVariableNamesTheTableAndTheRuleLimitsAreOptions) {
  const std::string table = writeTemp("ori.csv", "lp,iau,ad,code,name,status,solar_longitude,ra,dec,vg\n"
                                                 "100,8,0,ORI,Orionids,1,208.6,95.4,15.9,66.2\n");
  auto run = runSightline(kOrionid + " --showers " + table);
  EXPECT_EQ(run.status, kExitSolved) << run.err;
  EXPECT_NE(run.out.find("Shower: ORI Orionids (IAU 8)"), std::string::npos) << run.out;
  // The meteor's solar longitude is 209.40: 0.8 deg from the row's; a 0.5 deg limit leaves it sporadic.
  run = runSightline(kOrionid + " --showers " + table + " --shower-solar-longitude 0.5");
  EXPECT_NE(run.out.find("Shower: sporadic"), std::string::npos) << run.out;
  run = runSightline("solve examples/three-stations.json --showers /nonexistent/showers.csv");
  EXPECT_EQ(run.status, kExitInput);
  EXPECT_NE(run.err.find("/nonexistent/showers.csv: cannot open"), std::string::npos) << run.err;
}

TEST(SummaryCommand, UnreadableInputIsExitThreeAndAWrongLayoutExitTwo) {
  auto run = runSightline("summary /nonexistent/night.jsonl");
  EXPECT_EQ(run.status, kExitInput);
  EXPECT_NE(run.err.find("/nonexistent/night.jsonl"), std::string::npos);
  run = runSightline("summary --format xml examples/three-stations.json");
  EXPECT_EQ(run.status, kExitUsage);
}

TEST(SummaryCommand, ForeignLinesAreNamedTheRestSummarisedAndTheTableStillWritten) {
  std::string text;
  for (int i = 0; i < 14; ++i) text += "{\"not\": \"a record\"}\n";
  const std::string path = writeTemp("foreign.jsonl", text);
  const auto run = runSightline("summary --format csv " + path);
  EXPECT_EQ(run.status, kExitInput);
  EXPECT_NE(run.err.find(path + ":1: not a record of sightline batch"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(path + ":10: not a record"), std::string::npos);
  EXPECT_EQ(run.err.find(path + ":11: not a record"), std::string::npos);
  EXPECT_NE(run.err.find("and 4 more lines"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.rfind("identifier,jd_begin,", 0), 0u);  // the header of an empty table
}

}  // namespace
}  // namespace sightline
