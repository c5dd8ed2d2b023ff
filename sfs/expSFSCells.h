#pragma once
// Cell rules shared by the three roads that add gene-tree branches into
// expected spectra (incremental, whole tree, ascertained). None of them
// touches a spectrum's total tree length; the callers do.
class AFS;
class multiSFS;
class TDemeCollection;
class TSFSCoord;
struct TNode;

namespace sfscells {

// Node counts: a tip has 1 at its sample deme; an internal node sums its children.
void setTipCounts(TNode& tip);
void sumChildCounts(TNode& node);

// 1-D/joint cells of one branch. complement: the counts n_d - k_d. allDemes:
// every deme's 1-D spectrum and every pair's table (ascertained road); else the
// valid deme's 1-D spectrum when exactly one deme is valid, or the table of
// every pair of valid demes.
void addJointCells(AFS& s, const TNode* x, double length, bool complement, bool allDemes);
// The same for the minor allele of the whole sample of sampleSize genes.
void addJointMinorCells(AFS& s, const TNode* x, double length, int sampleSize, bool allDemes);

// Multi-dimensional cell of the counts below x (or their complements), addressed
// through coord, whose counts of the valid demes are set on the way.
double& multiCell(multiSFS& s, TSFSCoord& coord, const TNode* x, bool complement);
void addMultiMinorCells(multiSFS& s, TSFSCoord& coord, const TNode* x, double length,
                        int sampleSize);
// A collection's scratch coordinate, created on first use.
TSFSCoord& coordinate(TSFSCoord*& slot, const TDemeCollection& demes);

// Pooled spectrum (one deme holding every sampled gene).
void addPooledCell(AFS& s, const TNode* x, double length, bool minor);

// The collection's spectra of each flavour when that flavour is wanted (null otherwise).
AFS* wantedDAF(TDemeCollection& demes);
AFS* wantedMAF(TDemeCollection& demes);
multiSFS* wantedMultiDAF(TDemeCollection& demes);
multiSFS* wantedMultiMAF(TDemeCollection& demes);

}  // namespace sfscells
