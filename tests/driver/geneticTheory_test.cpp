// Whole runs of genetic data against theory and against the program's own
// expected spectra: segregating sites of one deme, derived-allele spectra of
// one deme and of two demes with migration and a split, and the spectrum of
// SNPs ascertained in a panel. Data sets are the independent units of every
// standard error; each check holds within five of them.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "tests/driver/freqRun.h"
#include "tests/driver/runFolder.h"

namespace {

// Demes of the given sizes (genes) and samples; with two demes a migration
// matrix and a split 500 generations ago. One structure with one block.
std::string theoryModel(const std::vector<int>& samples, int chromosomes, const std::string& block) {
  const bool two = samples.size() == 2;
  std::string t = "//Number of population samples (demes)\n" + std::to_string(samples.size()) +
                  "\n//Population effective sizes (number of genes)\n" +
                  (two ? "1000\n2000\n" : "1000\n") + "//Sample sizes\n";
  for (int n : samples) t += std::to_string(n) + "\n";
  t += two ? "//Growth rates\n0\n0\n//Number of migration matrices\n1\n//Migration matrix 0\n"
             "0 0.0005\n0.0005 0\n//historical event\n1 historical event\n500 1 0 1 1 0 nomig\n"
           : "//Growth rates\n0\n//Number of migration matrices\n0\n//historical event\n"
             "0 historical event\n";
  t += "//Number of independent loci [chromosome]\n" + std::to_string(chromosomes) +
       " 0\n//Per chromosome: Number of linkage blocks\n1\n"
       "//per Block: data type, num loci, rec. rate and mut rate + optional parameters\n" +
       block + "\n";
  return t;
}

// The value lines of a spectrum file (header and label lines skipped).
std::vector<std::vector<double>> valueLines(const std::string& text) {
  std::vector<std::vector<double>> rows;
  for (const std::string& line : linesOf(text)) {
    if (line.empty() || line.find("observation") != std::string::npos || line[0] == 'd') continue;
    std::istringstream in(line);
    std::vector<double> v;
    for (double x; in >> x;) v.push_back(x);
    if (!v.empty()) rows.push_back(v);  // not a text line (e.g. the column names of site counts)
  }
  return rows;
}

// Mean and standard error of one value per data set.
struct Moments {
  double mean = 0, var = 0, seMean = 0, seVar = 0;
};
Moments momentsOf(const std::vector<double>& x) {
  const double n = static_cast<double>(x.size());
  Moments m;
  for (double v : x) m.mean += v / n;
  double m4 = 0;
  for (double v : x) {
    m.var += (v - m.mean) * (v - m.mean) / (n - 1);
    m4 += std::pow(v - m.mean, 4) / n;
  }
  m.seMean = std::sqrt(m.var / n);
  m.seVar = std::sqrt((m4 - m.var * m.var * (n - 3) / (n - 1)) / n);
  return m;
}

// Share of cell k among cells 1 .. n of the summed spectra, with the standard
// error of a ratio of sums over independent data sets.
struct Share {
  double value = 0, se = 0;
};
Share shareOf(const std::vector<std::vector<double>>& rows, int k, int n) {
  double top = 0, bottom = 0;
  for (const auto& r : rows) {
    top += r[k];
    for (int j = 1; j <= n; ++j) bottom += r[j];
  }
  Share s;
  s.value = top / bottom;
  double ss = 0;
  for (const auto& r : rows) {
    double t = 0;
    for (int j = 1; j <= n; ++j) t += r[j];
    ss += (r[k] - s.value * t) * (r[k] - s.value * t);
  }
  s.se = std::sqrt(ss) / bottom;
  return s;
}

RunOutput runGenetic(RunFolder& f, const std::string& model, std::vector<std::string> extra) {
  f.write("g.par", model);
  std::vector<std::string> args{"-i", "g.par", "-q", "-x"};
  args.insert(args.end(), extra.begin(), extra.end());
  return f.run(args);
}

// One deme of 1000 genes, 10 sampled; theta = 2 N mu L = 5 per chromosome,
// four chromosomes per data set: S = sum of four chromosomes.
TEST(GeneticTheory, SegregatingSitesAndDerivedSpectrumOfOneDeme) {
  RunFolder f("theory_one");
  const int n = 10, chromosomes = 4, sets = 1500;
  const double theta = 5.0 * chromosomes;
  const RunOutput r = runGenetic(f, theoryModel({n}, chromosomes, "DNA 1000 0 2.5e-6 0.33"),
                                 {"-n", std::to_string(sets), "-d", "-s", "0", "-I", "-r", "3"});
  ASSERT_EQ(r.status, 0) << r.err;
  double a = 0, b = 0;
  for (int i = 1; i < n; ++i) a += 1.0 / i, b += 1.0 / (static_cast<double>(i) * i);
  std::vector<double> s;
  for (const auto& row : valueLines(f.read("g/g_numPolymSites.obs"))) s.push_back(row.at(1));
  ASSERT_EQ(s.size(), static_cast<size_t>(sets));
  const Moments m = momentsOf(s);
  EXPECT_NEAR(m.mean, theta * a, 5 * m.seMean);
  EXPECT_NEAR(m.var, theta * a + theta * theta * b / chromosomes, 5 * m.seVar);

  const auto daf = valueLines(f.read("g/g_DAFpop0.obs"));
  ASSERT_EQ(daf.size(), static_cast<size_t>(sets));
  for (int i = 1; i < n; ++i) {
    std::vector<double> cell;
    for (const auto& row : daf) cell.push_back(row.at(i));
    const Moments c = momentsOf(cell);
    EXPECT_NEAR(c.mean, theta / i, 5 * c.seMean) << "i = " << i;
  }
  for (const auto& row : daf) ASSERT_EQ(row.at(n), 0.0);
}

// One deme, and two demes exchanging migrants until their split: the
// derived-allele shares of each deme agree with the program's expected
// spectrum of the same model.
TEST(GeneticTheory, DerivedSpectraMatchTheExpectedSpectraOfTheSameModel) {
  for (const std::vector<int>& samples : {std::vector<int>{8}, std::vector<int>{6, 4}}) {
    const std::string label = std::to_string(samples.size()) + " deme(s)";
    freqtest::FreqRun expected(theoryModel(samples, 1, "FREQ 1 0 2.5e-8"),
                               SpectrumShape{true, false, false, false}, 9);
    int counter = 0;
    ASSERT_EQ(expected.s.generateSFSPerSimulation(200000, counter), 1) << label;
    RunFolder f("theory_expected");
    const int sets = 400;
    const RunOutput r = runGenetic(f, theoryModel(samples, 10, "DNA 1000 0 1e-6 0.33"),
                                   {"-n", std::to_string(sets), "-d", "-s", "0", "-I", "-r", "5"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (int d = 0; d < static_cast<int>(samples.size()); ++d) {
      const int n = samples[d];
      const auto rows = valueLines(f.read("g/g_DAFpop" + std::to_string(d) + ".obs"));
      ASSERT_EQ(rows.size(), static_cast<size_t>(sets)) << label;
      // Expected branch lengths by count in deme d: the 1-D spectrum of a
      // single deme, the margin of the joint table of two.
      const AFS& exp = *expected.s.demeCollection.expDAF;
      std::vector<double> e(n + 1, 0.0);
      for (int k = 0; k <= n; ++k) {
        if (samples.size() == 1) e[k] = exp.spectrum(0)[k];
        const int other = samples.size() == 2 ? samples[1 - d] : -1;
        for (int l = 0; l <= other; ++l) e[k] += d == 1 ? exp(1, 0)[k][l] : exp(1, 0)[l][k];
      }
      double total = 0;
      for (int k = 1; k <= n; ++k) total += e[k];
      for (int k = 1; k <= n; ++k) {
        const Share sim = shareOf(rows, k, n);
        EXPECT_NEAR(sim.value, e[k] / total, 5 * sim.se) << label << ", deme " << d << ", k = " << k;
      }
    }
  }
}

double choose(int n, int k) {
  if (k < 0 || k > n) return 0;
  double c = 1;
  for (int j = 1; j <= k; ++j) c = c * (n - k + j) / j;
  return c;
}

// SNPs ascertained in a panel of a of the n genes: the share of sites with i
// derived copies is proportional to (1/i)(1 - [C(n-i,a) + C(i,a)] / C(n,a)).
TEST(GeneticTheory, AscertainedSnpSpectrum) {
  RunFolder f("theory_asc");
  const int n = 10, a = 4, sets = 300;
  const RunOutput r = runGenetic(f, theoryModel({n}, 5, "SNP 1000 0 1e-5 0"),
                                 {"-n", std::to_string(sets), "-d", "-a", "0", "-A",
                                  std::to_string(a), "-r", "8"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto rows = valueLines(f.read("g/g_DAFpop0-asc4.obs"));
  ASSERT_EQ(rows.size(), static_cast<size_t>(sets));
  std::vector<double> w(n, 0.0);
  double total = 0;
  for (int i = 1; i < n; ++i) {
    w[i] = (1.0 / i) * (1 - (choose(n - i, a) + choose(i, a)) / choose(n, a));
    total += w[i];
  }
  for (int i = 1; i < n; ++i) {
    const Share sim = shareOf(rows, i, n);
    EXPECT_NEAR(sim.value, w[i] / total, 5 * sim.se) << "i = " << i;
  }
}

}  // namespace
