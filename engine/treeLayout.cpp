#include "engine/treeLayout.h"

#include <algorithm>
#include <cmath>

#include "engine/deme.h"

void TTreeLayout::build(TNode* root) {
  order.clear();
  parent.clear();
  branch.clear();
  cumulative.clear();
  tips.clear();
  if (!root) return;
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
  const int n = size();
  branch.resize(n);
  cumulative.resize(n);
  firstTip.resize(n);
  endTip.resize(n + 1);
  subtreeSize_.assign(n, 1);
  state.resize(n);
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    const TNode* node = order[i];
    branch[i] = parent[i] >= 0 ? order[parent[i]]->time - node->time : 0.0;
    sum += branch[i];
    cumulative[i] = sum;
  }
  for (int i = n - 1; i > 0; --i) subtreeSize_[parent[i]] += subtreeSize_[i];
  // firstTip[i]: tips before node i in pre-order; a subtree is a contiguous range.
  for (int i = 0; i < n; ++i) {
    firstTip[i] = static_cast<int>(tips.size());
    TNode* node = order[i];
    if (!node->desc1 || !node->desc2) tips.push_back(node);
  }
  endTip[n] = static_cast<int>(tips.size());
  for (int i = 0; i < n; ++i) {
    const int after = i + subtreeSize_[i];
    endTip[i] = after < n ? firstTip[after] : static_cast<int>(tips.size());
  }
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
