//Number of population samples (demes)
2
//Population effective sizes (number of genes)
10000
NPOP1
//Sample sizes
8
6
//Growth rates: negative growth implies population expansion
0
0
//Number of migration matrices : 0 implies no migration between demes
1
//Migration matrix 0
0 0.0005
0.0005 0
//historical event: time, source, sink, migrants, new size, new growth rate, migr. matrix
1 historical event
TSPLIT 1 0 1 1 0 nomig
//Number of independent loci [chromosome]
1 0
//Per chromosome: Number of linkage blocks
1
//per Block: data type, num loci, rec. rate and mut rate + optional parameters
FREQ 1 0 2.5e-8 OUTEXP
