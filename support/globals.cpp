#include "support/globals.h"

bool OUTPUT_QUENDREL = true;
bool OUTPUT_DNA_AS_SNP = false;
bool consoleOutput = true;
TOutputFile QdlSimulConditions;
GlobalRandom* ranGenArray = nullptr;
TOutputFile* tmrcas = nullptr;
char strTime[81] = "";
TOutputFile* mrcas = nullptr;
bool mrcaStreamInitialized = false;
