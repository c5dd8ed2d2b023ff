#include "support/globals.h"

bool OUTPUT_QUENDREL = true;
bool OUTPUT_DNA_AS_SNP = false;
bool consoleOutput = true;
std::ofstream QdlSimulConditions;
GlobalRandom* ranGenArray = nullptr;
std::ofstream* tmrcas = nullptr;
char strTime[81] = "";
std::ofstream* mrcas = nullptr;
bool mrcaStreamInitialized = false;
