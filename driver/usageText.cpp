#include "driver/usageText.h"


#include "support/anyoption.h"

char const* const BRIMVANE_MAJOR_VERSION = "2";

namespace {

char const* const kVersionNumbers[3] = {"2", "0", "0"};
char const* const kReleaseDate = "10.12.2026";

struct OptionEntry {
  char letter;
  char const* name;
  bool takesValue;
};

// In registration order.
OptionEntry const kOptions[] = {
    {'0', "removeZeroSFS", false}, {'a', "ascDeme", true},      {'A', "ascSize", true},
    {'B', "numBatches", true},     {'c', "cores", true},        {'C', "minSFSCount", true},
    {'d', "dsfs", false},          {'D', "dadioutput", false},  {'e', "estfile", true},
    {'E', "numest", true},         {'f', "dfile", true},        {'F', "dFile", true},
    {'g', "genotypic", false},     {'h', "help", false},        {'H', "header", false},
    {'i', "ifile", true},          {'I', "inf", false},         {'j', "jobs", false},
    {'k', "keep", true},           {'l', "minnumloops", true},  {'L', "maxnumloops", true},
    {'m', "msfs", false},          {'M', "maxlhood", true},     {'n', "numsims", true},
    {'N', "maxnumsims", true},     {'o', "lkfile", true},       {'p', "phased", false},
    {'q', "quiet", false},         {'R', "repetition", true},   {'r', "seed", true},
    {'s', "dnatosnp", true},       {'S', "allsites", false},    {'t', "tplfile", true},
    {'T', "tree", false},          {'u', "multiSFS", false},    {'v', "version", false},
    {'w', "brentol", true},        {'x', "noqdloutput", false}, {'P', "pooledsfs", false},
    {'b', "numboot", true},
};

// One line per option; continuation lines start with 27 blanks.
char const* const kOptionUsage[] = {
    " -h  --help              : prints this help",
    " -i  --ifile test.par    : name of the model file",
    " -n  --numsims 1000      : number of simulations to perform (required)",
    " -t  --tplfile test.tpl  : name of the template model file",
    " -f  --dfile test.def    : name of the parameter definition file (with -t)",
    " -F  --dFile test.def    : as -f, but only the simple parameters of the",
    "                           definition file are used; the complex parameters are",
    "                           recomputed from the prior file (-e)",
    " -e  --estfile test.est  : name of the parameter prior file; the parameter",
    "                           values are drawn from its priors (with -t)",
    " -E  --numest 10         : number of draws from the parameter priors (with -e)",
    " -g  --genotypic         : project files hold genotypic data",
    " -p  --phased            : gametic phase is known in project files",
    " -s  --dnatosnp 2000     : DNA sequences are written as SNP data, at most this",
    "                           number of SNPs (0: all of them)",
    " -S  --allsites          : writes all sites, monomorphic ones too",
    " -I  --inf               : infinite-site mutation model for DNA sequences",
    " -d  --dsfs              : computes the site frequency spectra of derived",
    "                           alleles",
    " -m  --msfs              : computes the site frequency spectra of minor alleles",
    " -j  --jobs              : one output folder per simulated or bootstrapped",
    "                           spectrum",
    " -b  --numboot 100       : number of bootstraps of the polymorphic sites per",
    "                           simulation (default 0)",
    " -H  --header            : accepted; has no effect",
    " -q  --quiet             : no progress messages on the console",
    " -T  --tree              : writes the gene trees into NEXUS tree files",
    " -k  --keep 10000        : number of polymorphic sites kept in memory before",
    "                           they go to temporary files (default 100000)",
    " -r  --seed 1234         : seed of the random number generator (default: from",
    "                           the clock)",
    " -x  --noqdloutput       : writes no project files and no batch list",
    " -D  --dadioutput        : spectra of simulated data are also written in the",
    "                           dadi layout",
    " -M  --maxlhood 0.001    : estimates the parameters by maximum composite",
    "                           likelihood (needs -t, -e and -d or -m); the value is",
    "                           the stop criterion",
    " -N  --maxnumsims 100000 : maximum number of simulations per likelihood during",
    "                           an estimation (default: the -n value)",
    " -l  --minnumloops 10    : minimum number of estimation cycles (default 10)",
    " -L  --maxnumloops 20    : maximum number of estimation cycles (default 20)",
    " -C  --minSFSCount 10    : observed spectrum entries below this count are lumped",
    "                           into one class (default 1)",
    " -0  --removeZeroSFS     : leaves the monomorphic class out of the likelihood",
    " -a  --ascDeme 0         : deme of the SNP ascertainment panel",
    " -A  --ascSize 4         : number of genes in the SNP ascertainment panel",
    " -u  --multiSFS          : computes the multidimensional site frequency spectrum",
    " -w  --brentol 0.01      : tolerance of the Brent searches, from 1e-5 to 0.1",
    "                           (default 0.01)",
    " -c  --cores 4           : number of threads (default 1; 0 lets the system",
    "                           choose); at most the number of batches",
    " -B  --numBatches 12     : number of batches of simulations, from 1 to 100",
    "                           (default 12)",
    " -P  --pooledsfs         : computes the spectrum of the pooled samples (takes",
    "                           precedence over -u)",
    "     --recordMRCA        : records the times of the most recent common ancestors",
    "                           (not available on the command line)",
};

}  // namespace

std::string const& versionLine() {
  static std::string const line = std::string("Brimvane") + BRIMVANE_MAJOR_VERSION +
                                  " (ver " + kVersionNumbers[0] + "." + kVersionNumbers[1] +
                                  "." + kVersionNumbers[2] + " - " + kReleaseDate + ")";
  return line;
}

void registerUsageAndOptions(AnyOption& opt) {
  opt.addUsage("");
  opt.addUsage(versionLine().c_str());
  opt.addUsage("");
  opt.addUsage("Usage:");
  opt.addUsage("");
  for (char const* line : kOptionUsage) opt.addUsage(line);
  for (OptionEntry const& o : kOptions) {
    if (o.takesValue)
      opt.setOption(o.name, o.letter);
    else
      opt.setFlag(o.name, o.letter);
  }
}

char const* longNameOf(char letter) {
  for (OptionEntry const& o : kOptions)
    if (o.letter == letter) return o.name;
  return nullptr;
}

char* optionValue(AnyOption& opt, char letter) {
  char* value = opt.getValue(letter);
  char const* name = longNameOf(letter);
  if (value == nullptr && name != nullptr) value = opt.getValue(name);
  return value;
}

bool optionFlag(AnyOption& opt, char letter) {
  char const* name = longNameOf(letter);
  return opt.getFlag(letter) || (name != nullptr && opt.getFlag(name));
}
