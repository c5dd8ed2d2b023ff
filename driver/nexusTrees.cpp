// NEXUS tree files of a run: the genealogies with branch lengths in
// generations and the same trees with the number of mutations on each branch.
// The files are created by the first run that asks for trees and receive one
// trees block per run; "#NEXUS" heads each file once. Trees are collected per
// deme collection (each batch numbers its own) and written in batch order.
#include <iostream>

#include "driver/nexus.h"
#include "engine/deme.h"
#include "model/simSettings.h"
#include "support/outputFile.h"

namespace {

// Creates the stream when it does not exist yet; false when the file cannot be opened.
bool openTreeFile(TOutputFile*& file, const my_string& name) {
  if (file) return true;
  file = new TOutputFile(name.c_str());
  if (*file) return true;
  std::cerr << "\nError! Unable to open tree file \"" << name << "\"\n";
  delete file;
  file = nullptr;
  return false;
}

void writeBlockHeader(TOutputFile* file) {
  if (file) write_PAUP_trees_section_header(*file, file->tellp() == std::streampos(0));
}

void writeBlockEnd(TOutputFile* file) {
  if (file) write_PAUP_end(*file);
}

}  // namespace

int TSimSettings::writePAUPHeader() {
  if (numChromStructures > 1) return 1;
  const bool withMutations = dataType != DataType::SNP;
  const bool withAsc = !ascTreesFileName.is_null();
  bool ok = openTreeFile(PaupTrueTreesFile, trueTreesFileName);
  if (withMutations) ok = openTreeFile(PaupMutTreesFile, mutTreesFileName) && ok;
  if (withAsc) ok = openTreeFile(PaupAscTreesFile, ascTreesFileName) && ok;
  writeBlockHeader(PaupTrueTreesFile);
  if (withMutations) writeBlockHeader(PaupMutTreesFile);
  if (SNPascertainment && withAsc) writeBlockHeader(PaupAscTreesFile);
  return ok ? 1 : 0;
}

int TSimSettings::writePAUPTreeFooter() {
  if (numChromStructures > 1) return 1;
  writeBlockEnd(PaupTrueTreesFile);
  if (dataType != DataType::SNP) writeBlockEnd(PaupMutTreesFile);
  writeBlockEnd(PaupAscTreesFile);
  return 1;
}

int TSimSettings::writePAUPTrees(int position, TDemeCollection& collection) {
  if (numChromStructures > 1) return 1;
  TBatchTrees& texts = collection.treeTexts;
  const int t = ++collection.treeCounter;
  const TNode* root = collection.tree.root;
  if (!root) return 0;
  if (PaupTrueTreesFile) {
    write_PAUP_tree_name(texts.trueTrees, simulationCounter, position, tree_output_type::NumGen, t);
    root->print_tree_structure(texts.trueTrees, tree_output_type::NumGen, 0.0);
  }
  if (dataType != DataType::SNP && PaupMutTreesFile) {
    write_PAUP_tree_name(texts.mutTrees, simulationCounter, position, tree_output_type::NumMut, t);
    root->print_tree_structure(texts.mutTrees, tree_output_type::NumMut, 0.0);
  }
  return 1;
}

bool writeCollectedTrees(TBatchTrees& trees) {
  bool ok = true;
  if (TOutputFile* f = TSimSettings::PaupTrueTreesFile)
    ok = (*f << trees.trueTrees.str()).good() && ok;
  if (TOutputFile* f = TSimSettings::PaupMutTreesFile)
    ok = (*f << trees.mutTrees.str()).good() && ok;
  trees.clear();
  return ok;
}
