#pragma once
// Adding the branches of a gene tree into expected spectra. A branch of node X
// with length L (time of X's parent - time of X) goes into the cell given by
// the numbers of sampled genes below X in each deme, and L into the
// spectrum's total tree length. Each function below adds one branch (two for
// the two-node form) into the collection's spectrum of its shape and flavour.
class TDemeCollection;
struct TNode;

// Derived allele, 1-D spectrum (one valid deme) or joint tables (every pair of
// valid demes).
void updateJointDSFS(const TNode* node, double length, TDemeCollection& demes);
// Minor allele, same tables; the allele is decided on the whole sample.
void updateJointMSFS(const TNode* node, double length, TDemeCollection& demes);
// Minor allele, multi-dimensional spectrum.
void updateMultiMSFS(const TNode* node, double length, TDemeCollection& demes);
// Derived allele, multi-dimensional spectrum: one branch, or two branches at
// once (the two children of a new node).
void updateMultiDSFS(const TNode* node, double length, TDemeCollection& demes);
void updateMultiDSFS(const TNode* node1, double length1, const TNode* node2, double length2,
                     TDemeCollection& demes);

// Which allele of a branch with `count` of `sampleSize` sampled genes below it
// is the minor one in the whole sample.
enum class MinorSide { Derived, Ancestral, Tie };
MinorSide minorSide(int count, int sampleSize);
