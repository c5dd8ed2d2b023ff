// Newick text of gene trees: "(left, right)" for internal nodes, tips labelled
// "<store index + 1>.<sample deme + 1>", and after every node but the root the
// length of the branch above it in the kind asked for.
#include <ostream>

#include "engine/deme.h"
#include "engine/genealgy.h"

namespace {

// Real-valued lengths: fixed notation with 5 decimals (the stream keeps it).
void setLengthFormat(std::ostream& os, int precision) {
  os.setf(std::ios::fixed, std::ios::floatfield);
  os.setf(std::ios::showpoint);
  os.setf(std::ios::right, std::ios::adjustfield);
  os.precision(precision);
}

void writeLabel(std::ostream& os, const TNode& node) {
  os << node.posInTree + 1 << "." << node.sampleDeme + 1;
}

}  // namespace

void TNode::print_tree_structure(std::ostream& os, const tree_output_type& kind,
                                 const double& rate) const {
  if (desc1 && desc2) {
    os << "(";
    desc1->print_tree_structure(os, kind, rate);
    os << ", ";
    desc2->print_tree_structure(os, kind, rate);
    os << ")";
  } else {
    writeLabel(os, *this);
  }
  if (!ancestor) {
    os << ";\n";
    return;
  }
  const double generations = (ancestor->time - time) * TDemeCollection::CTTimeUnit;
  switch (kind) {
    case tree_output_type::NumGen:
      setLengthFormat(os, 5);
      os << ":" << generations;
      break;
    case tree_output_type::MutRate:
      setLengthFormat(os, 5);
      os << ":" << generations * rate;
      break;
    case tree_output_type::NumMut:
      os << ":" << numMutations;
      break;
    case tree_output_type::AscNumGen:
      if (ascertainmentScore == 0) {
        os << ":0";
      } else {
        setLengthFormat(os, 5);
        os << ":" << generations;
      }
      break;
  }
}

void TNode::print_tree_structure(std::ostream& os, const tree_output_type& kind,
                                 const double& rate, const TNode* root, const TNode* parent,
                                 const int& precision) const {
  if (desc1 && desc2) {
    os << "(";
    desc1->print_tree_structure(os, kind, rate, root, this, precision);
    os << ", ";
    desc2->print_tree_structure(os, kind, rate, root, this, precision);
    os << ")";
  } else {
    writeLabel(os, *this);
  }
  if (this == root) {
    os << ";\n";
    return;
  }
  if (!parent) return;
  const double generations = (parent->time - time) * TDemeCollection::CTTimeUnit;
  switch (kind) {
    case tree_output_type::NumGen:
      setLengthFormat(os, precision);
      os << ":" << generations;
      break;
    case tree_output_type::MutRate:
      setLengthFormat(os, precision);
      os << ":" << generations * rate << ":" << generationsOf(parent->time - time) * rate;
      break;
    case tree_output_type::NumMut:
      os << ":" << numMutations;
      break;
    case tree_output_type::AscNumGen:
      os << ":" << ascertainmentScore;
      break;
  }
}
