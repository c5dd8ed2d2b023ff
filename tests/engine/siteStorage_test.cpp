// Storage of simulated states: genotype blocks in the chromosome's slot,
// temporary gene files past the in-memory limit, the hand-over of batches to
// the run's collection, the one reader of both sources, and the comment
// block of polymorphic sites.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "engine/siteModel.h"

namespace {

// Every state of every gene of every chromosome, read through the reader.
using AllStates = std::vector<std::vector<short>>;

AllStates readAll(const TDemeCollection& c, int numChrom) {
  AllStates all;
  TChromStateReader reader(c);
  for (int chrom = 0; chrom < numChrom; ++chrom) {
    const long long n = reader.numSites(chrom);
    EXPECT_GE(n, 0) << "chromosome " << chrom;
    for (int d = 0; d < c.numDemes; ++d)
      for (int g = 0; g < c.demes[d].sampleSize; ++g) {
        const short* s = reader.states(d, g, chrom);
        EXPECT_NE(s, nullptr) << reader.error();
        all.emplace_back(s, s + (s ? n : 0));
      }
  }
  return all;
}

std::vector<TBlock> mixedBlocks() {
  TBlock msat = makeBlock(DataType::MICROSAT, 3, 2e-4);
  msat.geometricParam = 0.4;  // tokens of several characters
  return {makeBlock(DataType::SNP, 6, 1e-3), makeBlock(DataType::DNA, 40, 2e-4), msat,
          makeBlock(DataType::STANDARD, 2, 5e-4)};
}

// One simulated data set of four chromosomes in two batches merged into the
// run's collection; returns its states and records.
struct DataSet {
  AllStates states;
  std::vector<long> positions;
  bool spilled = false;
};

DataSet simulate(SiteRun& run, SiteRun& batch0, SiteRun& batch1) {
  const int numChrom = 4;
  run.demes().resetSiteStorage(numChrom);
  for (SiteRun* b : {&batch0, &batch1}) b->demes().ReserveLoci(numChrom);
  for (int c = 0; c < 2; ++c) EXPECT_TRUE(batch0.chromosome(c));
  for (int c = 2; c < 4; ++c) EXPECT_TRUE(batch1.chromosome(c));
  run.demes().takeChromosomeStates(batch0.demes(), 0, 2);
  run.demes().takeChromosomeStates(batch1.demes(), 2, 4);
  for (int c = 0; c < 2; ++c) run.records[c] = batch0.records[c];
  for (int c = 2; c < 4; ++c) run.records[c] = batch1.records[c];
  DataSet out;
  out.states = readAll(run.demes(), numChrom);
  for (const auto& list : run.records)
    for (int k = 0; k < list.numElems; ++k) out.positions.push_back(list[k].pos);
  out.spilled = run.demes().anySitesSpilled();
  return out;
}

class InMemoryLimit : public testing::TestWithParam<bool> {};

TEST_P(InMemoryLimit, StatesAreTheSameWhateverTheLimitAndNoFileIsLeft) {
  SiteSwitches keep;
  const bool ascertained = GetParam();
  TSimSettings::SNPascertainment = ascertained;
  TSimSettings::ascertainedDeme = 0;
  TSimSettings::ascertainedSize = 2;
  WorkFolder folder("limit");
  const ModelDesc model({1000, 1000}, {4, 3}, {}, 1e-3);
  std::vector<DataSet> first, second;
  for (int limit : {1, 7, 100000}) {
    TSimSettings::numPolSitesToKeepInMemory = limit;
    SiteRun run(model, 1, mixedBlocks(), 4);
    SiteRun batch0(model, 41, mixedBlocks(), 4);
    SiteRun batch1(model, 42, mixedBlocks(), 4);
    batch1.demes().batchId = 1;
    first.push_back(simulate(run, batch0, batch1));
    EXPECT_EQ(first.back().spilled, limit < 100) << limit;
    // The next data set keeps everything in memory: nothing of the first is read.
    TSimSettings::numPolSitesToKeepInMemory = 100000;
    second.push_back(simulate(run, batch0, batch1));
    EXPECT_FALSE(second.back().spilled);
    EXPECT_EQ(folder.entries(), 0) << "temporary folders left after a new data set";
  }
  for (size_t i = 1; i < first.size(); ++i) {
    EXPECT_EQ(first[i].positions, first[0].positions);
    EXPECT_EQ(first[i].states, first[0].states);
    EXPECT_EQ(second[i].states, second[0].states);
  }
  EXPECT_GT(first[0].positions.size(), 20u);
  EXPECT_EQ(folder.entries(), 0);
}

INSTANTIATE_TEST_SUITE_P(Ascertainment, InMemoryLimit, testing::Bool());

TEST(TempFiles, CopiesStartWithoutSpillStateAndTheOwnerRemovesTheFiles) {
  SiteSwitches keep;
  WorkFolder folder("copy");
  TSimSettings::numPolSitesToKeepInMemory = 2;
  SiteRun run(sampledDemes({3}), 43, {makeBlock(DataType::STANDARD, 5, 1e-4)});
  ASSERT_TRUE(run.chromosome(0));
  ASSERT_TRUE(run.demes().tempFilesExist);
  EXPECT_TRUE(std::filesystem::exists(tempGeneFilePath(0, 1, 3)));
  EXPECT_EQ(std::filesystem::path(tempFolderPath(0)).parent_path(), folder.path());
  {
    TDemeCollection copy;
    copy.copyEssentialStuffForSimulGeneticDataInThreads(run.demes());
    EXPECT_FALSE(copy.tempFilesExist);
    EXPECT_EQ(copy.numTempFileFlushes, 0);
  }
  EXPECT_EQ(folder.entries(), 3) << "a copy removed its source's files";
  TChromStateReader reader(run.demes());
  EXPECT_EQ(reader.numSites(0), 5);
  ASSERT_NE(reader.states(0, 2, 0), nullptr) << reader.error();
  run.demes().removeTempFiles();
  EXPECT_EQ(folder.entries(), 0);
}

// A folder of the user's named like a temporary folder is never used; one
// that cannot be made fails the data set with the reason.
TEST(TempFiles, AFolderThatCannotBeMadeFailsTheDataSet) {
  SiteSwitches keep;
  WorkFolder folder("blocked");
  std::filesystem::create_directories(folder.path() / "garbage0");
  std::ofstream(folder.path() / "garbage0" / "Ind_1_1.tmp") << "the user's";
  TSimSettings::numPolSitesToKeepInMemory = 1;
  {
    SiteRun run(sampledDemes({3}), 44, {makeBlock(DataType::MICROSAT, 4, 1e-4)});
    EXPECT_TRUE(run.chromosome(0));
    run.demes().removeTempFiles();
  }
  removeOwnTempFolders();
  std::ifstream users(folder.path() / "garbage0" / "Ind_1_1.tmp");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(users), {}), "the user's");
  std::ofstream(folder.path() / "file") << "not a folder";
  std::snprintf(TSimSettings::workingDirectory, sizeof TSimSettings::workingDirectory, "%s/",
                (folder.path() / "file").c_str());
  SiteRun run(sampledDemes({3}), 44, {makeBlock(DataType::MICROSAT, 4, 1e-4)});
  testing::internal::CaptureStderr();
  EXPECT_FALSE(run.chromosome(0));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("cannot create a temporary folder"), std::string::npos) << err;
  EXPECT_TRUE(run.demes().siteStorage.failed());
  EXPECT_FALSE(run.demes().storeChromosomeStates());
}

TEST(TempFiles, AnUnreadableGeneFileIsReportedByName) {
  SiteSwitches keep;
  WorkFolder folder("unreadable");
  TSimSettings::numPolSitesToKeepInMemory = 3;
  SiteRun run(ModelDesc({1000, 1000}, {2, 2}, {}, 1e-3), 45,
              {makeBlock(DataType::STANDARD, 8, 1e-4)}, 2);
  ASSERT_TRUE(run.chromosome(0));
  ASSERT_TRUE(run.chromosome(1));
  std::filesystem::resize_file(tempGeneFilePath(0, 2, 1), 10);
  TChromStateReader reader(run.demes());
  EXPECT_NE(reader.states(0, 0, 1), nullptr);  // the other genes are whole
  EXPECT_EQ(reader.states(1, 0, 1), nullptr);
  EXPECT_NE(reader.error().find("chromosome 2"), std::string::npos) << reader.error();
  EXPECT_NE(reader.error().find("Ind_2_1.tmp"), std::string::npos) << reader.error();
  std::filesystem::remove(tempGeneFilePath(0, 2, 2));
  EXPECT_EQ(reader.states(1, 1, 0), nullptr);
  EXPECT_NE(reader.error().find("Ind_2_2.tmp"), std::string::npos) << reader.error();
}

TEST(GenotypeBlocks, AChromosomeWithoutSitesHasRowlessBlocksInItsSlot) {
  SiteSwitches keep;
  SiteRun run(sampledDemes({3}), 46, {makeBlock(DataType::RFLP, 4, 1e-3)}, 3);
  ASSERT_TRUE(run.chromosome(2));
  const TLocusAsShortIntArray* block = run.demes().demes[0].loci[2];
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->numGenes, 3);
  EXPECT_EQ(block->numSites, 0);
  EXPECT_EQ(run.demes().demes[0].loci.numElems, 3);
  const MY_TIArrayAsVector<TLocusAsShortIntArray>& loci = run.demes().demes[0].loci;
  EXPECT_EQ(loci[0], nullptr);  // not simulated: no data
  TChromStateReader reader(run.demes());
  EXPECT_EQ(reader.numSites(2), 0);
  EXPECT_EQ(reader.numSites(0), -1);
}

// The blocks of a range of chromosomes are freed and their slots emptied; the
// others stay, and so does the number of slots in use.
TEST(GenotypeBlocks, ReleasingARangeEmptiesOnlyItsSlots) {
  SiteSwitches keep;
  SiteRun run(sampledDemes({3}), 48, {makeBlock(DataType::DNA, 30, 1e-3)}, 3);
  for (int c = 0; c < 3; ++c) ASSERT_TRUE(run.chromosome(c));
  TDemeCollection& demes = run.demes();
  demes.releaseLoci(1, 5);  // past the slots in use: up to the last one
  const MY_TIArrayAsVector<TLocusAsShortIntArray>& loci = demes.demes[0].loci;
  EXPECT_EQ(loci.numElems, 3);
  EXPECT_NE(loci[0], nullptr);
  EXPECT_EQ(loci[1], nullptr);
  EXPECT_EQ(loci[2], nullptr);
  demes.releaseLoci(0, 1);
  EXPECT_EQ(demes.demes[0].loci[0], nullptr);
}

TEST(PolSiteInfo, CommentBlockOfSitesAndRecombinations) {
  SiteSwitches keep;
  TSimSettings::SNPascertainment = false;
  SiteRun run(sampledDemes({2}), 47, {makeBlock(DataType::SNP, 5, 0.0)}, 2);
  run.records[0].Add(TPolymSiteInfo{0, 3, 0});
  run.records[0].Add(TPolymSiteInfo{4, 3, 0});
  TDemeCollection::polSitesInfo = run.records.data();
  TDemeCollection& c = run.demes();
  c.numPolymSites = 2;
  std::ostringstream plain;
  c.writePolSiteInfo(plain, 2);
  EXPECT_EQ(plain.str(),
            "#Number of independent chromosomes: 2\n#Total number of polymorphic sites: 2\n"
            "# 2 polymorphic positions on chromosome 1\n#1, 5\n"
            "# 0 polymorphic positions on chromosome 2\n");
  c.isRecombining = true;
  c.totNumRecs = 3;
  c.recPosInfo.Add(TRecPosInfo{0, 2});
  c.recPosInfo.Add(TRecPosInfo{0, 3});
  c.recPosInfo.Add(TRecPosInfo{1, 1});
  TSimSettings::SNPascertainment = true;
  TSimSettings::ascertainedDeme = 0;
  TSimSettings::ascertainedSize = 2;
  c.ascertainedSites.Add(1);
  std::ostringstream rec;
  c.writePolSiteInfo(rec, 2);
  EXPECT_EQ(rec.str(),
            "#Number of independent chromosomes: 2\n#Total number of polymorphic sites: 2\n"
            "#ASCERTAINED DATA\n#Ascertained deme: 0\n#Number of ascertained chromomosomes: 2\n"
            "#Number of polym. sites meeting ascertainment criterion: 1\n"
            "# 2 polymorphic positions on chromosome 1\n#1, 5\n"
            "#Ascertained polymorphic positions on chromosome 1\n#5\n"
            "# 0 polymorphic positions on chromosome 2\n"
            "\n#Total number of recombination events: 3\n#Positions of recombination events: "
            "\n# Chromosome 1\n#\t2, 3\n# Chromosome 2\n#\t1\n\n");
}

TEST(TempFiles, LargeAndSmallSpillsGiveTheSameStates) {
  // 300 genes: spills of 1000 sites go straight to the files, spills of 10
  // are gathered first; both read back as the states kept in memory.
  SiteSwitches keep;
  WorkFolder folder("large");
  std::vector<AllStates> states;
  for (int limit : {1000, 10, 100000}) {
    TSimSettings::numPolSitesToKeepInMemory = limit;
    SiteRun run(sampledDemes({300}), 48, {makeBlock(DataType::STANDARD, 2500, 1e-5)}, 2);
    ASSERT_TRUE(run.chromosome(0));
    ASSERT_TRUE(run.chromosome(1));
    EXPECT_EQ(run.demes().anySitesSpilled(), limit < 2500);
    states.push_back(readAll(run.demes(), 2));
  }
  EXPECT_EQ(states[0], states[2]);
  EXPECT_EQ(states[1], states[2]);
  EXPECT_EQ(folder.entries(), 0);
}

}  // namespace
