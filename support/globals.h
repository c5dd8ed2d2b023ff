#pragma once
// Process-wide switches and shared objects set by the command line and the run loop.
#include "support/outputFile.h"

class GlobalRandom;

extern bool OUTPUT_QUENDREL;     // write project files of simulated samples
extern bool OUTPUT_DNA_AS_SNP;   // write DNA sequences as SNP sites
extern bool consoleOutput;       // progress on the standard output (cleared by -q)
extern TOutputFile QdlSimulConditions;  // the model echo file (.simparam)
extern GlobalRandom* ranGenArray;          // one generator per batch (100 entries)
extern TOutputFile* mrcas;        // the MRCA record "<generic name>_mrca.txt" (recordMRCAs)
extern bool mrcaStreamInitialized;  // mrcas opened by this process
extern TOutputFile* tmrcas;  // "MRCAs.txt", created by the first frequency-data run
extern char strTime[81];  // start of the program, "%d/%m/20%y at %H:%M:%S"
