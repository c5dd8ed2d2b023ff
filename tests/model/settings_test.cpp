// Construction, chromosome structures and deep copies of the settings.
#include <gtest/gtest.h>

#include "modelTexts.h"

namespace {

TBlock block(DataType type, long loci) {
  TBlock b;
  b.dataType = type;
  b.numLoci = loci;
  return b;
}

// Fills structure k with blocks of the given types and loci counts.
void setBlocks(TSimSettings& s, int k, std::initializer_list<std::pair<DataType, int>> blocks) {
  for (const auto& [type, loci] : blocks) {
    s.blocks[k].Add(block(type, loci));
    s.lociPerBlock[k].Add(loci);
    s.totalNumLoci[k] += loci;
  }
  s.numBlocks[k] = static_cast<int>(blocks.size());
}

TEST(Settings, Defaults) {
  TSimSettings s;
  EXPECT_EQ(s.numChromStructures, 0);
  EXPECT_FALSE(s.blocks);
  EXPECT_FALSE(s.numBlocks);
  EXPECT_EQ(s.historicalEvents.capacity, 11);
  EXPECT_EQ(s.demeSizes.capacity, 11);
  EXPECT_EQ(s.migrationMatrices.capacity, 2);
  EXPECT_EQ(s.paramValueRows->capacity, 1);
  EXPECT_TRUE(s.paramValueRows->ownsElems);
  EXPECT_DOUBLE_EQ(s.parameters.rescalingFactor, 1.0);
  EXPECT_EQ(TSimSettings::logPrecision, 23);
  EXPECT_EQ(TSimSettings::numBatches, 12);
  EXPECT_EQ(TSimSettings::ascertainedDeme, -1);
  EXPECT_EQ(TSimSettings::numPolSitesToKeepInMemory, 100000);
  EXPECT_DOUBLE_EQ(TSimSettings::brentTOL, 0.01);
  TBlock b;
  EXPECT_DOUBLE_EQ(b.transitionRate, 0.333);
  EXPECT_EQ(b.dataType, DataType::STANDARD);
  EXPECT_EQ(static_cast<int>(DataType::FREQ), 5);
}

TEST(Settings, DataTypeOfALocus) {
  TSimSettings s;
  s.createNewChromStructures(2);
  s.differentStructurePerLocus = 1;
  setBlocks(s, 0, {{DataType::DNA, 3}, {DataType::SNP, 2}});
  s.numBlocks[1] = 0;
  const DataType expected[] = {DataType::DNA, DataType::DNA, DataType::DNA, DataType::SNP,
                               DataType::SNP, DataType::STANDARD, DataType::STANDARD};
  for (int locus = 0; locus < 7; ++locus) EXPECT_EQ(s.getDataType(locus, 0), expected[locus]);
  EXPECT_EQ(s.getDataType(0, 1), DataType::STANDARD);  // a structure without blocks
  s.differentStructurePerLocus = 0;
  EXPECT_EQ(s.getDataType(4, 1), DataType::SNP);  // structure 0 describes every chromosome
}

TEST(Settings, NewAndResetStructures) {
  TSimSettings s;
  s.recRate = s.mutRate = s.transitionRate = s.geometricParam = 1;
  s.rangeConstraint = 3;
  s.createNewChromStructures(2);
  EXPECT_EQ(s.numChromStructures, 2);
  EXPECT_EQ(s.blocks[1].capacity, 11);
  EXPECT_EQ(s.totalRecRate[1], 0);
  EXPECT_EQ(s.recRate + s.mutRate + s.transitionRate + s.geometricParam + s.rangeConstraint, 0);
  setBlocks(s, 1, {{DataType::DNA, 3}});
  s.mixedDataTypes[1] = true;
  s.recRate = 1;
  EXPECT_EQ(s.resetChromStructures(), 1);
  EXPECT_EQ(s.blocks[1].numElems, 0);
  EXPECT_EQ(s.lociPerBlock[1].numElems, 0);
  EXPECT_EQ(s.totalNumLoci[1], 0);
  EXPECT_FALSE(s.mixedDataTypes[1]);
  EXPECT_EQ(s.numBlocks[1], 1);  // block counts are kept
  EXPECT_EQ(s.recRate, 0);
  s.clean();
  EXPECT_EQ(s.numChromStructures, 0);
  EXPECT_FALSE(s.totalNumLoci);
}

// A copy behaves as a deep one: changing it leaves the original alone (the
// read-only tables are shared only until one side changes them).
TEST(Settings, DeepCopySharesNothing) {
  TSimSettings a;
  ASSERT_EQ(parseModel(a, ModelFile().text()).result, 1);
  a.createNewChromStructures(3);
  for (int k = 0; k < 3; ++k) setBlocks(a, k, {{DataType::SNP, k + 1}, {DataType::DNA, 2}});
  a.genericName = "model";
  a.treeCounter = 7;
  a.f4GTFileName = "f4gt";
  a.paramNames.edit().Add("N");
  a.paramValueRows.edit().Add(new TParamValues(1));
  a.paramValueRows.edit()[0]->values[0] = "100";
  a.templateText.edit() = "template";

  TSimSettings b;
  b.createNewChromStructures(1);
  b = a;
  ASSERT_EQ(b.numChromStructures, 3);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NE(b.blocks[k].elems, a.blocks[k].elems);
    EXPECT_NE(b.lociPerBlock[k].elems, a.lociPerBlock[k].elems);
    EXPECT_EQ(b.blocks[k][0].numLoci, k + 1);
    EXPECT_EQ(b.totalNumLoci[k], a.totalNumLoci[k]);
  }
  EXPECT_NE(b.totalNumLoci.get(), a.totalNumLoci.get());
  EXPECT_EQ(b.treeCounter, 0);  // not copied
  EXPECT_TRUE(b.f4GTFileName.is_null());
  EXPECT_EQ(*b.templateText, "template");
  EXPECT_NE(b.migrationMatrices[0].elems, a.migrationMatrices[0].elems);
  EXPECT_EQ(b.migrationMatrices[0].elems[0][1], a.migrationMatrices[0].elems[0][1]);
  EXPECT_EQ(b.historicalEvents.numElems, 2);
  ASSERT_NE((*b.paramValueRows)[0], nullptr);

  // Changing the copy leaves the original alone.
  b.blocks[0][0].numLoci = 99;
  b.demeSizes[0] = 1;
  b.migrationMatrices[0].elems[0][1] = -1;
  b.paramValueRows.edit()[0]->values[0] = "5";
  b.paramNames.edit()[0] = "M";
  b.templateText.edit() = "changed";
  b.genericName = "other";
  EXPECT_EQ(a.blocks[0][0].numLoci, 1);
  EXPECT_EQ(a.demeSizes[0], 10000);
  EXPECT_GT(a.migrationMatrices[0].elems[0][1], 0);
  EXPECT_STREQ((*a.paramValueRows)[0]->values[0].c_str(), "100");
  EXPECT_STREQ((*b.paramValueRows)[0]->values[0].c_str(), "5");
  EXPECT_STREQ((*a.paramNames)[0].c_str(), "N");
  EXPECT_EQ(*a.templateText, "template");
  EXPECT_NE((*b.paramValueRows)[0], (*a.paramValueRows)[0]);
  EXPECT_STREQ(a.genericName.c_str(), "model");
}

TEST(Settings, CopyConstructorStartsTheTreeCounterAtZero) {
  TSimSettings a;
  ASSERT_EQ(parseModel(a, ModelFile().text()).result, 1);
  a.treeCounter = 5;
  a.f4GTFileName = "f4gt";
  TSimSettings b(a);
  EXPECT_EQ(b.treeCounter, 0);
  EXPECT_TRUE(b.f4GTFileName.is_null());
  EXPECT_EQ(b.numBlocks[0], 2);
  EXPECT_NE(b.blocks.get(), a.blocks.get());
  EXPECT_DOUBLE_EQ(b.totalRecRate[0], a.totalRecRate[0]);
}

TEST(Settings, CopyEssentialStuffLeavesTheModelAlone) {
  TSimSettings master;
  master.tplFileName = "m.tpl";
  master.tplParFileName = "m.par";
  master.numParamColumns = 1;
  master.numValueRows = 1;
  master.paramNames.edit().Add("N");
  master.paramValueRows.edit().Add(new TParamValues(1));
  master.modelText = "text";
  master.f4GTFileName = "f4gt";

  TSimSettings run;
  ASSERT_EQ(parseModel(run, ModelFile().text()).result, 1);
  run.genericName = "run";
  run.copyEssentialStuff(master);
  EXPECT_STREQ(run.tplParFileName.c_str(), "m.par");
  EXPECT_EQ(run.paramNames->numElems, 1);
  ASSERT_EQ(run.paramValueRows->numElems, 1);
  EXPECT_TRUE(run.paramValueRows->ownsElems);
  EXPECT_EQ(run.modelText, "text");
  EXPECT_STREQ(run.f4GTFileName.c_str(), "f4gt");
  EXPECT_STREQ(run.genericName.c_str(), "run");
  EXPECT_EQ(run.numDemes, 2);
  EXPECT_EQ(run.numBlocks[0], 2);
}

// The value rows of a definition file, the names and the template text are
// read by every run and every batch copy: copies take them without copying
// them (a run of n rows would otherwise cost time in n squared), and the
// first change of a copy gives that copy its own.
TEST(Settings, CopiesShareTheReadOnlyTablesUntilOneIsChanged) {
  TSimSettings master;
  master.paramNames.edit().Add("N");
  for (int r = 0; r < 3; ++r) master.paramValueRows.edit().Add(new TParamValues(1));
  master.templateText.edit() = "N";
  TSimSettings run;
  run.copyEssentialStuff(master);
  TSimSettings batch(run);
  TSimSettings assigned;
  assigned = batch;
  for (const TSimSettings* s : {&run, &batch, &assigned}) {
    EXPECT_TRUE(s->paramNames.sharedWith(master.paramNames));
    EXPECT_TRUE(s->paramValueRows.sharedWith(master.paramValueRows));
    EXPECT_TRUE(s->templateText.sharedWith(master.templateText));
  }
  batch.paramValueRows.edit().Add(new TParamValues(1));
  EXPECT_FALSE(batch.paramValueRows.sharedWith(master.paramValueRows));
  EXPECT_EQ(batch.paramValueRows->numElems, 4);
  EXPECT_EQ(master.paramValueRows->numElems, 3);
  EXPECT_EQ(run.paramValueRows->numElems, 3);
  EXPECT_TRUE(batch.paramNames.sharedWith(master.paramNames));
}

}  // namespace
