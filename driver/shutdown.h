#pragma once
// The end of a run and of the process.
#include <sys/time.h>

class TRunProcess;

// Frees the arrays that all deme collections of one run share and sets them to
// null: the site arrays per chromosome, the list of demes that enter the
// spectra and the table of inverse pair counts. The valid-entry list of the
// multi-dimensional observed spectra is kept, so every run is scored alike.
void cleanStaticArrays();

// Normal end: closes every stream, frees the shared objects and writes the
// execution-time line.
void finishProcess(TRunProcess& process, const timeval& startTime);
