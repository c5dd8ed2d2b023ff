//Number of demes
2
//Deme sizes in genes
NPOP0
NPOP1
//Sample sizes in genes
10
10
//Growth rates
0
0
//Number of migration matrices
1
//Migration matrix 0: rates per lineage and generation
0 MIG
MIG 0
//Historical events: deme 1 splits from deme 0 TDIV generations ago; no migration before
1 historical event
TDIV 1 0 1 1 keep nomig
//Number of independent chromosomes: one FREQ locus stands for every site of the data
1 0
//Per chromosome: number of blocks
1
//Per block: FREQ, 1, recombination rate (not used), mutation rate per site as in the data
FREQ 1 0 2.5e-8 OUTEXP
