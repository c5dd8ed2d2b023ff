#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <string>

#include "model/histEvent.h"
#include "support/containers.h"

namespace {

struct EventLineCase {
  const char* line;
  long time;
  int source, sink;
  double migrants, newSize, growth;
  bool keepGrowth;
  int matrix;
  bool keepMatrix, noMig;
};

const EventLineCase kEventLines[] = {
    {"1000 0 1 1 2 0.001 1", 1000, 0, 1, 1.0, 2.0, 0.001, false, 1, false, false},
    {"-100 1 0 0 1 0 0", 0, 1, 0, 0.0, 1.0, 0.0, false, 0, false, false},
    {"250.9 1 0 0.5 1 KEEP keep", 250, 1, 0, 0.5, 1.0, 0.0, true, -1, true, false},
    {"300 0 1 0.5 1 -0.01 NoMig", 300, 0, 1, 0.5, 1.0, -0.01, false, 0, false, true},
    {"300 0 1 0.5 1 0 keepnomig", 300, 0, 1, 0.5, 1.0, 0.0, false, -1, true, true},
    {"100 0 1 0.5 3", 100, 0, 1, 0.5, 3.0, 0.0, false, 0, false, false},
    {"  200\t\t1   0 1  2\t0 1   // 999 9 9", 200, 1, 0, 1.0, 2.0, 0.0, false, 1, false, false},
    {"200 1 0 1 2 0 3 extra 7 tokens", 200, 1, 0, 1.0, 2.0, 0.0, false, 3, false, false},
    {"abc x 1 y 1 z 2", 0, 0, 1, 0.0, 1.0, 0.0, false, 2, false, false},
    {"100 0 1 1 1 0 2\r", 100, 0, 1, 1.0, 1.0, 0.0, false, 2, false, false},
    {"", 0, 0, 0, 0.0, 0.0, 0.0, false, 0, false, false},
};

TEST(HistoricalEventLine, ReadsTheSevenTokens) {
  for (const EventLineCase& c : kEventLines) {
    SCOPED_TRACE(std::string("line: \"") + c.line + "\"");
    std::istringstream is(std::string(c.line) + "\n");
    THistoricalEvent e;
    is >> e;
    EXPECT_EQ(e.time, c.time);
    EXPECT_EQ(e.source, c.source);
    EXPECT_EQ(e.sink, c.sink);
    EXPECT_DOUBLE_EQ(e.migrants, c.migrants);
    EXPECT_DOUBLE_EQ(e.newSize, c.newSize);
    EXPECT_DOUBLE_EQ(e.newGrowthRate, c.growth);
    EXPECT_EQ(e.keepGrowthRate, c.keepGrowth);
    EXPECT_EQ(e.newMigMatrix, c.matrix);
    EXPECT_EQ(e.keepMigMatrix, c.keepMatrix);
    EXPECT_EQ(e.noMigration, c.noMig);
    EXPECT_EQ(e.timeCT, 0.0);
    EXPECT_FALSE(e.activateLineages);
  }
}

TEST(HistoricalEventLine, ConsecutiveLinesAreSortedStablyByTime) {
  std::istringstream is("500 0 1 0 1 0 0\n100 1 0 0 1 0 0\n100 2 0 0 1 0 0 // second at 100\n");
  MY_TSArrayAsVector<THistoricalEvent> events(1, 10);
  for (int i = 0; i < 3; ++i) {
    THistoricalEvent e;
    is >> e;
    events.Add(e);
  }
  ASSERT_EQ(events.numElems, 3);
  EXPECT_EQ(events[0].time, 100);
  EXPECT_EQ(events[0].source, 1);
  EXPECT_EQ(events[1].time, 100);
  EXPECT_EQ(events[1].source, 2);
  EXPECT_EQ(events[2].time, 500);
}

TEST(HistoricalEventText, WritesActivationAndOrdinaryEvents) {
  THistoricalEvent activation;
  activation.time = 250;
  activation.source = activation.sink = 1;
  activation.activateLineages = true;
  std::ostringstream a;
  a << activation;
  EXPECT_EQ(a.str(), "\n#Make lineages of deme 1 active at time 250\n");

  std::istringstream is("1000 0 1 0.5 2 keep keep\n");
  THistoricalEvent e;
  is >> e;
  std::ostringstream o;
  o << e;
  EXPECT_EQ(o.str(),
            "\n#Time             : 1000\n#Source           : 0\n#Sink             : 1"
            "\n#Migrants         : 0.5\n#New size         : 2\n#New growth rate  : kept"
            "\n#New migr. matrix : kept\n");
}

// The new growth rate and matrix say what the event does, whatever the
// stream's number format (here that of the matrices before the events).
TEST(HistoricalEventText, SaysWhatGrowthAndMigrationBecome) {
  const struct {
    const char* line;
    const char* growth;
    const char* matrix;
  } cases[] = {
      {"1000 0 1 1 2 0.001 1", "0.001", "1"},
      {"1000 0 1 1 2 0 0", "0", "0"},
      {"300 0 1 0.5 1 -0 nomig", "0", "no migration"},
      {"300 0 1 0.5 1 -1e-9 NoMig", "-1e-09", "no migration"},
      {"300 0 1 0.5 1 -0.0005 keepnomig", "-0.0005", "no migration"},
      {"250 1 0 0.5 1 KEEP keep", "kept", "kept"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    std::istringstream is(std::string(c.line) + "\n");
    THistoricalEvent e;
    is >> e;
    std::ostringstream o;
    o << std::fixed << std::setprecision(7);
    o << e;
    const std::string text = o.str();
    EXPECT_NE(text.find(std::string("\n#New growth rate  : ") + c.growth + "\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(std::string("\n#New migr. matrix : ") + c.matrix + "\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(o.flags() & std::ios::floatfield, std::ios::fixed);
  }
}

}  // namespace
