#include "driver/shutdown.h"

#include <iomanip>
#include <iostream>

#include "driver/runProcess.h"
#include "driver/runSummary.h"
#include "engine/deme.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/F4GT.h"
#include "sfs/obsSFS.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"
#include "support/interruptCleanup.h"
#include "support/outputFolder.h"

namespace {

template <class Stream>
void closeStream(Stream*& stream) {
  if (!stream) return;
  stream->flush();
  stream->close();
  delete stream;
  stream = nullptr;
}

}  // namespace

void cleanStaticArrays() {
  delete[] TDemeCollection::polSitesInfo;
  TDemeCollection::polSitesInfo = nullptr;
  delete[] TDemeCollection::validDemes;
  TDemeCollection::validDemes = nullptr;
  TDemeCollection::numValidDemes = 0;
  TDemeCollection::releaseInvNChoose2();
}

void TRunProcess::releaseAll() {
  closeStream(lhoodFile);
  closeStream(paramFile);
  closeStream(bestLhoodsFile);
  closeStream(TSimSettings::PaupTrueTreesFile);
  closeStream(TSimSettings::PaupMutTreesFile);
  closeStream(TSimSettings::PaupAscTreesFile);
  if (mrcas) {
    *mrcas << "\n==================================================================\n" << std::endl;
    closeStream(mrcas);
    mrcaStreamInitialized = false;
  }
  closeStream(tmrcas);
  if (QdlSimulConditions.is_open()) QdlSimulConditions.close();
  removeOwnTempFolders();
  closeOutputRecord();
  delete observed;
  observed = nullptr;
  releaseF4GTDistr();
  cleanStaticArrays();
  delete multiSFS::validSFSEntries;
  multiSFS::validSFSEntries = nullptr;
  delete[] ranGenArray;
  ranGenArray = nullptr;
}

void finishProcess(TRunProcess& p, const timeval& startTime) {
  p.releaseAll();
  std::cout << "\n\nProgram execution time: " << std::fixed << std::setprecision(3)
            << secondsSince(startTime) << " seconds\n"
            << std::endl;
}
