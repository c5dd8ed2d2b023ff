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
#include "support/tempFolders.h"
#include "support/outputFolder.h"

namespace {

// Closes and frees a stream; false, with a message, when its last lines
// could not be written (a full disk).
bool closeStream(TOutputFile*& stream) {
  if (!stream) return true;
  const bool wasOpen = stream->is_open();
  stream->close();
  const bool written = !wasOpen || static_cast<bool>(*stream);
  if (!written) std::cerr << "\nUnable to write the file \"" << stream->path() << "\"" << std::endl;
  delete stream;
  stream = nullptr;
  return written;
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
  bool written = true;
  for (TOutputFile** stream : {&lhoodFile, &paramFile, &bestLhoodsFile,
                               &TSimSettings::PaupTrueTreesFile, &TSimSettings::PaupMutTreesFile,
                               &TSimSettings::PaupAscTreesFile})
    written = closeStream(*stream) && written;
  if (mrcas) {
    *mrcas << "\n==================================================================\n" << std::endl;
    written = closeStream(mrcas) && written;
    mrcaStreamInitialized = false;
  }
  written = closeStream(tmrcas) && written;
  if (QdlSimulConditions.is_open()) {
    QdlSimulConditions.close();
    if (!QdlSimulConditions) std::cerr << "\nUnable to write the model echo \""
                                       << QdlSimulConditions.path() << "\"" << std::endl;
    written = written && static_cast<bool>(QdlSimulConditions);
  }
  if (!written) outputLost = true;
  removeOwnTempFolders();
  if (outputsBegun)
    closeOutputRecord();
  else
    forgetUnusedOutputFolder(stale);  // a refused invocation leaves no empty folder
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
