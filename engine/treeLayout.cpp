#include "engine/treeLayout.h"

#include <algorithm>
#include <cmath>

#include "engine/deme.h"

void TTreeLayout::build(TNode* root) {
  // Only order, parent and tips are emptied: the other tables are sized to
  // the tree below, which keeps their size (and costs nothing) from one tree
  // of a chromosome to the next.
  order.clear();
  parent.clear();
  tips.clear();
  if (!root) {
    branch.clear();
    cumulative.clear();
    return;
  }
  walkFrom(root);
  fillTables();
}

void TTreeLayout::walkFrom(TNode* root) {
  // Depth-first with an explicit stack: desc2 is pushed before desc1 so that
  // desc1's subtree comes first.
  stack_.clear();
  stack_.push_back({root, -1});
  while (!stack_.empty()) {
    const auto [node, up] = stack_.back();
    stack_.pop_back();
    const int self = static_cast<int>(order.size());
    order.push_back(node);
    parent.push_back(up);
    if (node->desc1 && node->desc2) {
      stack_.push_back({node->desc2, self});
      stack_.push_back({node->desc1, self});
    }
  }
}

void TTreeLayout::fillTables() {
  const int n = size();
  branch.resize(n);
  cumulative.resize(n);
  firstTip.resize(n);
  endTip.resize(n + 1);
  subtreeSize_.resize(n);
  state.resize(n);
  // firstTip[i]: tips before node i in pre-order; a subtree is a contiguous
  // range, its size complete when the backward pass reaches its root.
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    TNode* node = order[i];
    branch[i] = parent[i] >= 0 ? order[parent[i]]->time - node->time : 0.0;
    sum += branch[i];
    cumulative[i] = sum;
    subtreeSize_[i] = 1;
    firstTip[i] = static_cast<int>(tips.size());
    if (!node->desc1 || !node->desc2) tips.push_back(node);
  }
  const int numTips = static_cast<int>(tips.size());
  endTip[n] = numTips;
  for (int i = n - 1; i >= 0; --i) {
    const int after = i + subtreeSize_[i];
    endTip[i] = after < n ? firstTip[after] : numTips;
    if (i > 0) subtreeSize_[parent[i]] += subtreeSize_[i];
  }
}

namespace {

// Lists the subtree of node in post-order, zeroes its mutation counts and
// returns its length as TNode::calcTreeSizeC measures it; a node of one
// child (or its own child) makes the list invalid and is not descended.
double listBelow(TNode* node, TPostOrder& post) {
  const double own = node->ancestor ? node->ancestor->time - node->time : 0.0;
  double length = own;
  if (node->desc1 && node->desc2 && node->desc1 != node && node->desc2 != node) {
    const double first = listBelow(node->desc1, post);
    length = first + listBelow(node->desc2, post) + own;
  } else if (node->desc1 || node->desc2) {
    post.valid = false;
  }
  node->numMutations = 0;
  post.nodes.push_back(node);
  return length;
}

}  // namespace

void TPostOrder::build(TNode* root) {
  nodes.clear();
  valid = true;
  length = root ? listBelow(root, *this) : 0.0;
}

int TTreeLayout::nodeAtHeight(double h) const {
  if (order.size() < 2) return -1;
  const auto it = std::lower_bound(cumulative.begin() + 1, cumulative.end(), h);
  return it == cumulative.end() ? -1 : static_cast<int>(it - cumulative.begin());
}

void TTreeLayout::setPoissonMeans(double rate) {
  const int n = size();
  poissonMean.resize(n);
  poissonLimit.resize(n);
  for (int i = 0; i < n; ++i) {
    poissonMean[i] = branch[i] * TDemeCollection::CTTimeUnit * rate;
    poissonLimit[i] = poissonMean[i] < 12.0 ? std::exp(-poissonMean[i]) : 0.0;
  }
}
