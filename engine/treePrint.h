#pragma once
// Diagnostic printers of gene trees, lineage lists and recombination points.
// The Newick writer itself is TNode::print_tree_structure (engine/genealgy.h).
#include <iosfwd>

#include "engine/genealgy.h"

class TDeme;

std::ostream& operator<<(std::ostream& os, const TNode& node);
std::ostream& operator<<(std::ostream& os, TRecLocation& location);
// Positions of the lineages of a deme's two lineage lists.
void outputPosInVecNodes(TDeme& deme, std::ostream& os);
