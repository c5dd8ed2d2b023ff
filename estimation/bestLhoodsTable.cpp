#include "estimation/bestLhoodsTable.h"

#include <iomanip>
#include <iostream>

#include "estimation/parameters.h"
#include "support/outputFile.h"

bool beatsEarlierEstimations(const TOutputFile* table, double lhood) {
  const auto* own = dynamic_cast<const TBestLhoodsTable*>(table);
  return !own || lhood > own->highestLhood;
}

namespace {

TBestLhoodsTable* createTable(const std::string& name, const TSampleParameters& best) {
  auto* created = new TBestLhoodsTable(name);
  if (!*created) {
    delete created;
    return nullptr;
  }
  best.writeParameters(-1, *created, true, true);
  *created << "\n";
  return created;
}

}  // namespace

bool addBestLhoodsLine(TOutputFile*& table, const std::string& name,
                       const TSampleParameters& best, double lhood, double maxObsLhood) {
  if (!table) table = createTable(name, best);
  auto* own = dynamic_cast<TBestLhoodsTable*>(table);
  if (own && lhood > own->highestLhood) own->highestLhood = lhood;
  if (table) {
    // Each line starts from the default number format, as the first one did:
    // the likelihoods of the line before leave the stream fixed with 3 decimals.
    table->unsetf(std::ios::floatfield);
    table->precision(6);
    best.writeParameters(-1, *table, false, false);
    *table << "\t" << std::fixed << std::setprecision(3) << lhood << "\t" << maxObsLhood << "\n";
    table->flush();
    if (*table) return true;
  }
  std::cerr << "\nUnable to write the file \"" << name << "\"" << std::endl;
  return false;
}
