#pragma once
// The list of the files the program wrote in the output folder of its model,
// kept in that folder as "written_by_brimvane.txt": two comment lines naming
// the model, then one path per line, relative to the folder, in the order the
// files were first opened. A later invocation of the same model removes what
// the list names (and nothing else) before it writes its own outputs.
//
// Every writer of an output file goes through noteOutputFile before it
// creates or opens the file. The first file noted inside the output folder
// runs, once, the action armed by the run driver (the removal of the earlier
// outputs and the start of the new list), so no output can ever precede that
// removal; the driver also runs it itself once the run's inputs are accepted.
#include <functional>
#include <string>
#include <vector>

extern const char* const kOutputRecordName;  // "written_by_brimvane.txt"

// The output folder whose files are recorded (made absolute now, against the
// current folder) and the action to run once before its first output. An
// empty action disarms; the folder stays.
void armOutputRecord(const std::string& folder, std::function<void()> beforeFirstOutput);
// Runs the armed action, if any, and disarms it.
void beginOutputs();

// Creates the list of the armed folder for the model with the generic name,
// its header first and then the carried entries (outputs of an earlier run
// still present). False, with a message, when the list cannot be written: the
// outputs are then written unrecorded.
bool startOutputRecord(const std::string& genericName, const std::vector<std::string>& carried);
// Announces an output file (path as the writer opens it, from the current
// folder). A file inside the armed folder runs beginOutputs first and is
// added to the list, once. Safe from any thread.
void noteOutputFile(const std::string& path);
// Closes the list and forgets the folder (end of the process, tests).
void closeOutputRecord();

// The entries of the list in the folder, when it holds one written for the
// model with this generic name; false when there is none (or another one).
bool readOutputRecord(const std::string& folder, const std::string& genericName,
                      std::vector<std::string>& entries);
