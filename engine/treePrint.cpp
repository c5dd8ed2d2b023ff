// Diagnostic dumps of nodes, lineage lists and recombination points.
#include "engine/treePrint.h"

#include <ostream>

#include "engine/deme.h"

std::ostream& operator<<(std::ostream& os, const TNode& node) {
  if (node.time > 0) {
    os << "\nInternal node pos " << node.posInTree << "\n----------------"
       << "\nTime since present       : "
       << generationsOf(node.time)
       << "\nNo. of left descendents  : " << node.numLeftDesc
       << "\nNo. of right descendents : " << node.numRightDesc;
  } else {
    os << "\nTip node pos " << node.posInTree << "." << node.sampleDeme << "\n-----------";
  }
  return os << "\n";
}

int TNode::print_info(std::ostream& os) const {
  os << *this;
  if (desc1) desc1->print_info(os);
  if (desc2) desc2->print_info(os);
  return 1;
}

std::ostream& operator<<(std::ostream& os, TRecLocation& location) {
  os << "time :" << location.time << " | " << "*bottomNode :";
  if (location.bottomNode && location.bottomNode->node)
    os << location.bottomNode->node->posInTree;
  return os;
}

namespace {

// "(a, b, c)": one value per lineage of the list.
template <class Value>
void writeList(std::ostream& os, const TNodeArray& list, Value value) {
  os << "(";
  for (int k = 0; k <= list.top; ++k) {
    if (k > 0) os << ", ";
    value(*list[k]);
  }
  os << ")";
}

}  // namespace

void outputPosInVecNodes(TDeme& deme, std::ostream& os) {
  os << "VNL ";
  writeList(os, deme.VNL, [&](const TNode& n) { os << (n.discarded ? "D" : "") << n.posInTree; });
  os << "\tposInVNL ";
  writeList(os, deme.VNL, [&](const TNode& n) { os << n.posInVNL; });
  os << "\tposInVNLR ";
  writeList(os, deme.VNL, [&](const TNode& n) { os << n.posInVNLR; });
  os << "\nVNLR ";
  writeList(os, deme.VNLR,
            [&](const TNode& n) { os << (n.recombined ? "R" : "") << n.posInTree; });
  os << "\tposInVNLR ";
  writeList(os, deme.VNLR, [&](const TNode& n) { os << n.posInVNLR; });
  os << "\tposInVNL ";
  writeList(os, deme.VNLR, [&](const TNode& n) { os << n.posInVNL; });
  os << "\n";
}
