//Number of population samples (demes): deme 0 is dadi's population 1, deme 1 its population 2
2
//Deme sizes today (genes: twice the diploid size)
NPOP0
NPOP1
//Sample sizes (genes)
10
10
//Growth rates per generation, going back in time (negative: the deme grew towards today)
0
GROW1
//Number of migration matrices
1
//Migration matrix 0: symmetric, per lineage and generation
0 MIG
MIG 0
//Historical events: time, source, sink, migrants, new size, new growth rate, migr. matrix
2 historical events
TSPLIT 1 0 1 1 0 nomig
TANC 0 0 0 RANC 0 nomig
//Number of independent chromosomes
1 0
//Per chromosome: number of linkage blocks
1
//Per block: data type, loci, recombination rate, mutation rate per site
FREQ 1 0 1e-8 OUTEXP
