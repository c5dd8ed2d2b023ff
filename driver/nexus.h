#pragma once
// Line writers of NEXUS tree files and of PAUP command blocks.
#include <iosfwd>

#include "engine/genealgy.h"
#include "model/simSettings.h"

// "#NEXUS" (only at the start of a file) and the opening of a trees block.
void write_PAUP_trees_section_header(std::ostream& os, bool fileStart = true);
// Name part of a tree statement, up to the Newick text.
void write_PAUP_tree_name(std::ostream& os, int simulationNumber, int position,
                          const tree_output_type& kind, int treeNumber);
void write_PAUP_end(std::ostream& os);

// Writes the tree statements collected by a deme collection to the open tree
// files and empties them; false when a file could not be written.
bool writeCollectedTrees(TBatchTrees& trees);

// PAUP command writers.
void write_PAUP_header(std::ostream& os, const char* logFileName);
void write_PAUP_block(std::ostream& os);
void write_PAUP_footer(std::ostream& os);
void write_PAUP_data_header(int ntax, long nchar, DataType dataType, std::ostream& os);
void write_PAUP_tree_header(std::ostream& os, int n);
void write_PAUP_end_matrix(std::ostream& os);
void write_PAUP_replicate_number(int n, std::ostream& os);
void write_PAUP_tree_name_perLoc(std::ostream& os, int simulation, int locus,
                                 const tree_output_type& kind);
