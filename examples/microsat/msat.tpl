//Number of population samples (demes)
2
//Population effective sizes (number of genes)
NPOP
NSMALL
//Sample sizes (genes; optionally followed by the sample age in generations and the inbreeding coefficient)
20
20
//Growth rates: negative growth implies population expansion
0
0
//Number of migration matrices : 0 implies no migration between demes
1
//Migration matrix 0
0 0.001
0.001 0
//historical event: time, source, sink, migrants, new size, new growth rate, migr. matrix
0 historical events
//Number of independent loci [chromosome]
1 0
//Per chromosome: Number of linkage blocks
1
//per Block: data type, num loci, rec. rate and mut rate + optional parameters
MICROSAT 10 0.0001 MUTRATE 0.3 0
