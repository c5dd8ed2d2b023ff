// Process-wide switches of the settings, with their start values.
#include "model/simSettings.h"

char TSimSettings::workingDirectory[200] = "";
int TSimSettings::logPrecision = 23;
int TSimSettings::numBatches = 12;
int TSimSettings::numThreads = 1;
int TSimSettings::ascertainedDeme = -1;
int TSimSettings::numPolSitesToKeepInMemory = 100000;
double TSimSettings::brentTOL = 0.01;
bool TSimSettings::outputTree = false;
bool TSimSettings::compDAF = false;
bool TSimSettings::compMAF = false;
int TSimSettings::useInfiniteSiteModel = 0;
int TSimSettings::maxNumSNPs = 0;
int TSimSettings::ascertainedSize = 0;
bool TSimSettings::printAllSites = false;
bool TSimSettings::SNPascertainment = false;
bool TSimSettings::computePooledSFS = false;
bool TSimSettings::isMultiSFS = false;
bool TSimSettings::isFREQData = false;
bool TSimSettings::isReferenceParameters = false;
TOutputFile* TSimSettings::PaupTrueTreesFile = nullptr;
TOutputFile* TSimSettings::PaupMutTreesFile = nullptr;
TOutputFile* TSimSettings::PaupAscTreesFile = nullptr;
bool TSimSettings::doF4GT = false;
bool TSimSettings::SMC2 = false;
bool TSimSettings::pureSMC = false;
bool TSimSettings::recordMRCAs = false;
bool TSimSettings::holdModelEcho = false;
double TSimSettings::testValue = 0;
TF4GTDistr* TSimSettings::F4GTDistr = nullptr;
