// Creation of sites on the current tree: the caches that belong to one tree,
// the in-memory limit with its spill, the site record and the tips' states.
#include <climits>
#include <cmath>
#include <iostream>
#include <new>
#include <sstream>

#include "engine/siteCreation.h"
#include "model/simSettings.h"
#include "support/UniqueRandom.h"

namespace {

// Room for one more element: lists grow geometrically, never past limit
// elements when limit > 0 (a site list never holds more than the in-memory
// limit), and never past what an int can count.
template <class T>
bool makeRoom(MY_TArrayAsVector<T>& list, long long limit) {
  if (list.numElems < list.capacity) return true;
  if (list.numElems >= INT_MAX) return false;
  long long n = list.capacity < 8 ? 16 : 2LL * list.capacity;
  if (limit > 0 && n > limit) n = limit;
  if (n > INT_MAX) n = INT_MAX;
  if (n <= list.numElems) n = list.numElems + 1LL;
  list.Resize(static_cast<int>(n));
  return true;
}

}  // namespace

namespace sites {

TTreeLayout& layout(TDemeCollection& c) {
  TMutationWork& w = c.mutWork;
  if (w.layoutStamp != w.treeStamp) {
    w.layout.build(c.tree.root);
    w.layoutStamp = w.treeStamp;
  }
  return w.layout;
}

double treeLength(TDemeCollection& c) {
  TMutationWork& w = c.mutWork;
  if (w.lengthStamp != w.treeStamp) {
    if (w.postStamp == w.treeStamp && w.post.valid)
      c.tree.treeLength = w.post.length;
    else
      c.tree.treeLength = c.tree.root ? c.tree.root->calcTreeSizeC() : 0.0;
    w.lengthStamp = w.treeStamp;
  }
  return c.tree.treeLength;
}

void ensureDescCounts(TDemeCollection& c) {
  TMutationWork& w = c.mutWork;
  if (w.countsStamp == w.treeStamp) return;
  if (c.tree.root) c.tree.root->countDescNew();
  w.countsStamp = w.treeStamp;
}

namespace {

// A list that must grow, or a missing one: out of line, as it is rare.
bool pushStateGrowing(TDemeCollection& c, TNode* tip, short s) {
  MY_TArrayAsVector<short>* list = tip->polymSites;
  if (!list || !makeRoom(*list, TSimSettings::numPolSitesToKeepInMemory)) {
    std::ostringstream m;
    m << "chromosome " << c.curChrom + 1 << ": no room for the states of sampled gene "
      << tip->posInTree + 1;
    c.failDataSet(m.str());
    return false;
  }
  list->elems[list->numElems++] = s;
  return true;
}

inline bool pushState(TDemeCollection& c, TNode* tip, short s) {
  MY_TArrayAsVector<short>* list = tip->polymSites;
  if (!list || list->numElems >= list->capacity) return pushStateGrowing(c, tip, s);
  list->elems[list->numElems++] = s;
  return true;
}

void reportNoMemory(TDemeCollection& c) {
  std::ostringstream m;
  m << "chromosome " << c.curChrom + 1 << ": not enough memory for the states of its sites";
  c.failDataSet(m.str());
}

}  // namespace

bool appendToTips(TDemeCollection& c, short s) {
  const TTreeLayout& l = layout(c);
  try {
    for (TNode* tip : l.tips)
      if (!pushState(c, tip, s)) return false;
  } catch (const std::bad_alloc&) {
    reportNoMemory(c);
    return false;
  }
  return true;
}

bool appendNodeStates(TDemeCollection& c, long locus) {
  const TTreeLayout& l = layout(c);
  try {
    for (int i = 0; i < l.size(); ++i) {
      TNode* node = l.order[i];
      if (node->desc1 && node->desc2) continue;
      short s = 0;
      if (!storable(c, l.state[i], locus, s) || !pushState(c, node, s)) return false;
    }
  } catch (const std::bad_alloc&) {
    reportNoMemory(c);
    return false;
  }
  return true;
}

void setBelow(TDemeCollection& c, TNode* node, short s) {
  std::vector<TNode*>& stack = c.mutWork.below;
  stack.clear();
  stack.push_back(node);
  while (!stack.empty()) {
    TNode* n = stack.back();
    stack.pop_back();
    if (n->desc1 && n->desc2) {
      stack.push_back(n->desc2);
      stack.push_back(n->desc1);
    } else if (n->polymSites && n->polymSites->numElems > 0) {
      lastState(n) = s;
    }
  }
}

bool storable(TDemeCollection& c, long long s, long locus, short& out) {
  if (s >= SHRT_MIN && s <= SHRT_MAX) {
    out = static_cast<short>(s);
    return true;
  }
  std::ostringstream m;
  m << "chromosome " << c.curChrom + 1 << ", locus " << locus + 1 << ": allele state " << s
    << " is outside the range of stored states (" << SHRT_MIN << " to " << SHRT_MAX << ")";
  c.failDataSet(m.str());
  return false;
}

const TTreeLayout& layoutWithRate(TDemeCollection& c, double rate) {
  TTreeLayout& l = layout(c);
  TMutationWork& w = c.mutWork;
  if (w.poissonStamp != w.treeStamp || w.poissonRate != rate) {
    l.setPoissonMeans(rate);
    w.poissonStamp = w.treeStamp;
    w.poissonRate = rate;
  }
  return l;
}

long long branchPoisson(TDemeCollection& c, const TTreeLayout& l, int i) {
  const double mean = l.poissonMean[i];
  if (!std::isfinite(mean)) return 0;
  GlobalRandom& rng = *c.randomGenerator;
  if (mean >= 12.0) return clampWide(rng.PoissonDistributionValue(mean));
  const double limit = l.poissonLimit[i];
  long long k = -1;
  double t = 1.0;
  do {
    t *= rng.takeUniform();
    ++k;
  } while (t > limit);
  return k;
}

const std::vector<TNode*>* postOrder(TDemeCollection& c) {
  const TMutationWork& w = c.mutWork;
  return w.postStamp == w.treeStamp && w.post.valid ? &w.post.nodes : nullptr;
}

}  // namespace sites

void TDemeCollection::treeChanged() {
  ++mutWork.treeStamp;
  // One walk of the new tree gives its post-order and its length and zeroes
  // its mutation counts: the mutation trees print those of the current tree
  // only.
  mutWork.post.build(tree.root);
  mutWork.postStamp = mutWork.treeStamp;
  if (mutWork.post.valid) return;
  std::vector<TNode*>& stack = mutWork.below;
  stack.clear();
  if (tree.root) stack.push_back(tree.root);
  while (!stack.empty()) {
    TNode* node = stack.back();
    stack.pop_back();
    node->numMutations = 0;
    if (node->desc1 && node->desc2) {
      stack.push_back(node->desc2);
      stack.push_back(node->desc1);
    }
  }
}

bool TDemeCollection::beginSite(long position, DataType type, int alphabetRow) {
  if (siteStorage.failed()) return false;
  const int limit = TSimSettings::numPolSitesToKeepInMemory;
  const TNode* first = tree.nodes.count > 0 ? &tree.nodes.items[0] : nullptr;
  if (limit > 0 && first && first->polymSites && first->polymSites->numElems >= limit) {
    if (!writePolymLociToTempFiles()) return false;
    tree.flushPolymSites();
  }
  const char* problem = "has no list of site records";
  if (curPolSitesInfo) {
    try {
      if (makeRoom(*curPolSitesInfo, 0)) {
        TPolymSiteInfo& info = curPolSitesInfo->elems[curPolSitesInfo->numElems++];
        info.pos = position;
        info.dataType = static_cast<int>(type);
        info.alphabetIndex = static_cast<int8_t>(alphabetRow);
        return true;
      }
      problem = "has more sites than can be counted";
    } catch (const std::bad_alloc&) {
      problem = "has more site records than memory can hold";
    }
  }
  failDataSet("chromosome " + std::to_string(curChrom + 1) + " " + problem);
  return false;
}
