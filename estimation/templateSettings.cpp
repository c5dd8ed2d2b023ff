// The parameter members of the settings: prior and definition files into value rows,
// drawn rows, and the template routes (model file on disk or model text in memory).
#include <fstream>
#include <iostream>
#include <memory>

#include "estimation/templates.h"
#include "model/simSettings.h"
#include "support/TException.h"
#include "support/globals.h"
#include "support/outputFile.h"

namespace {

// An empty owning row table with room for n rows.
void resetRows(MY_TIArrayAsVector<TParamValues>& rows, int n) {
  rows.ownsElems = 1;
  rows.Reallocate(n > 0 ? n : 1);
}

}  // namespace

int TSimSettings::readEstimationFile(const my_string& estFileName) {
  if (!parameters.readEstimationFile(estFileName)) return 0;
  parameters.defineSearchRangesBoundariesAccordingToRules();
  MY_TArrayAsVector<my_string>& names = paramNames.edit();
  for (int i = 0; i < parameters.numParams(); ++i) {
    names.Add(parameters.paramArray[i].name);
    ++numParamColumns;
  }
  resetRows(paramValueRows.edit(), numValueRows);
  return 1;
}

bool TSimSettings::readDefinitionFile(const my_string& defFileName, const my_string&,
                                      const bool& recomputeComplex) {
  paramNames.edit().numElems = 0;
  std::ifstream in(defFileName.c_str(), std::ios::binary);
  if (!in) return false;
  TSampleParameters working;
  if (recomputeComplex) working = parameters;
  TDefinitionTable table;
  try {
    readDefinitionTable(in, defFileName.c_str(), recomputeComplex, working, table);
  } catch (TException& e) {
    std::cerr << "\nProblem reading the parameter definition file \"" << defFileName << "\"\n"
              << "Error message : " << e.message << "\n"
              << "...exiting" << std::endl;
    return false;
  }
  MY_TArrayAsVector<my_string>& names = paramNames.edit();
  for (std::string const& n : table.names) names.Add(my_string(n.c_str()));
  numParamColumns = int(table.names.size());
  numValueRows = 0;
  MY_TIArrayAsVector<TParamValues>& rows = paramValueRows.edit();
  resetRows(rows, int(table.rows.size()));
  for (TParamValues const& r : table.rows) {
    rows.Add(tightCopy(r).release());  // owned by the table
    ++numValueRows;
  }
  if (recomputeComplex) parameters = working;
  if (consoleOutput) echoDefinitionTable(std::cout, table, working);
  return true;
}

void TSimSettings::scanTplFile(const char* tplName) {
  std::ifstream in(tplName, std::ios::binary);
  if (in && textHoldsFreq(in)) isFREQData = true;
}

bool TSimSettings::drawParametersFromDistributions() {
  if (numParamColumns == 0) return false;
  if (!demeCollection.randomGenerator) {
    std::cerr << "No random generator to draw parameter values from" << std::endl;
    return false;
  }
  if (!parameters.drawParameterValues(&demeCollection)) return false;
  std::unique_ptr<TParamValues> row;
  try {
    row = std::make_unique<TParamValues>(parameters.paramArray);
  } catch (TException& e) {
    std::cerr << "Error message : " << e.message << std::endl;
    return false;
  }
  // A run drawing its own rows starts them afresh rather than copying the
  // master's empty table, whose room is that of every run's row.
  if (paramValueRows->numElems == 0)
    paramValueRows = TSharedTable<MY_TIArrayAsVector<TParamValues>>(std::in_place, 1, 10, 1);
  MY_TIArrayAsVector<TParamValues>& rows = paramValueRows.edit();
  if (rows.elems == nullptr) resetRows(rows, 1);
  rows.ownsElems = 1;
  rows.Add(row.release());
  return true;
}

// The model of a run made from the template text read when the process
// started: kept in memory (modelText), never written where another run of the
// template could read it.
bool TSimSettings::createParFileFromTemplateFile(const my_string& tplName, int rowIndex) {
  if (templateText->empty() && !readTextFile(tplName.c_str(), templateText.edit())) return false;
  TParamValues const* row = (*paramValueRows)[rowIndex];
  if (!row) {
    std::cerr << "No parameter value row " << rowIndex + 1 << " for template \"" << tplName
              << "\"" << std::endl;
    return false;
  }
  modelText = substituteParameters(*templateText, *paramNames, numParamColumns, *row);
  return true;
}

int TSimSettings::createParFileFromTemplateFile(TParamValues& row, bool bestValues) {
  return createParFileFromTemplateFileNew(row, bestValues);
}

// The model of a parameter set in memory; with bestValues also the file of the
// best values ("_maxL.par") in the output folder.
int TSimSettings::createParFileFromTemplateFileNew(TParamValues& row, bool bestValues) {
  if (templateText->empty() && !readTextFile(tplFileName.c_str(), templateText.edit())) return 0;
  modelText = substituteParameters(*templateText, *paramNames, numParamColumns, row);
  if (!bestValues) return 1;
  const std::string outName = maxLParFileName(tplParFileName.c_str());
  if (writeOutputText(outName, modelText)) return 1;
  std::cerr << "Unable to write model file \"" << outName << "\"" << std::endl;
  return 0;
}

void TSimSettings::writeParametersFromDef(std::ostream& os, int rowIndex) {
  if (numParamColumns == 0) return;
  TParamValues const* row = (*paramValueRows)[rowIndex];
  for (int i = 0; i < numParamColumns; ++i) {
    if (i > 0) os << "\t";
    if (rowIndex < 0) os << (*paramNames)[i];
    else if (row && i < row->size()) os << row->values[i];
  }
}
