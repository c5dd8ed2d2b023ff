// The echo of a model on the console and in the run's model echo file.
#include <gtest/gtest.h>

#include "modelTexts.h"
#include "tempFolder.h"

namespace {

// Parses with the echo on the console and in "echo.simparam"; formats start fresh.
struct Echo {
  int result;
  std::string console, file;
};

Echo echoOf(TSimSettings& s, const std::string& text, bool freshFormats = true) {
  if (freshFormats) {
    resetFormat(std::cout);
    resetFormat(QdlSimulConditions);
  }
  s.simparamFileName = "echo.simparam";
  std::istringstream is(text);
  StreamCapture out(std::cout);
  int result = s.readInputFile(is, true, 0, true);
  QdlSimulConditions.close();
  return {result, out.text(), readFile("echo.simparam")};
}

const std::string kHeader =
    "Simulation parameters for current simulations\n"
    "=============================================\n\n";

TEST(ModelEcho, OneDemeModel) {
  TempFolder folder("echo1");
  TSimSettings s;
  Echo e = echoOf(s, kOneDemeModel);
  ASSERT_EQ(e.result, 1);
  const std::string demes =
      "\nDeme sizes\nDeme 0\t1000\n\n"
      "\nSample sizes\nDeme 0\t20\n\nSample ages\nDeme 0\t0\n\n"
      "Growth rates\nDeme 0\t0.0005\n\n"
      "\nHistorical events\nNo historical events defined in input file ...\n\n"
      "\nNumber of independent loci to simulate : 3";
  const std::string blocks = "\nNumber of linkage blocks to simulate in structure 1: 2\n";
  EXPECT_EQ(e.console,
            demes + "\nwith the same chromosomal structure\n" + blocks +
                "\n   10 partially linked SNP     :\n      recombination rate and minimum "
                "frequency      : 0.0000100000   0.0000000200   0.0500000\n"
                "\n   5 partially linked STANDARD     :\n      recombination rate and minimum "
                "frequency      : 0.0000000000   0.0000001000   \n");
  EXPECT_EQ(e.file,
            kHeader + demes + "\nWith the same chromosomal structure\n" + blocks +
                "\n   10 partially linked SNP loci:\n      recombination rate and minimum "
                "frequency      : 0.0000100000   0.0000000200   0.05000\n"
                "\n   5 partially linked STANDARD loci:\n      recombination rate and minimum "
                "frequency      : 0.0000000000   0.0000001000   \n\n");
}

TEST(ModelEcho, TwoDemesTwoMatricesAncientSampleAndEvent) {
  TempFolder folder("echo2");
  TSimSettings s;
  Echo e = echoOf(s, ModelFile().text());
  ASSERT_EQ(e.result, 1);
  const std::string demes =
      "\nDeme sizes\nDeme 0\t10000\nDeme 1\t20000\n\n"
      "\nSample sizes\nDeme 0\t10\nDeme 1\t8\n\nSample ages\nDeme 0\t0\nDeme 1\t300\n\n"
      "Growth rates\nDeme 0\t0\nDeme 1\t-0.001\n\n";
  const std::string matrix0 = " 0.0000000 1000.0000000 \n2000.0000000  0.0000000 \n\n";
  const std::string matrix1 = " 0.0000000  0.0000000 \n 0.0000000  0.0000000 \n\n";
  const std::string note =
      "\nMigration matrix\nNote that migration rates have been pre-multiplied by factor "
      "TDemeCollection::CTTimeUnit (";
  const std::string events =
      "\nHistorical events\n"
      "Event 0\n\n#Make lineages of deme 1 active at time 300\n\n"
      "Event 1\n\n#Time             : 300\n#Source           : 1\n#Sink             : 0\n"
      "#Migrants         : 1.0000000\n#New size         : 1.0000000\n"
      "#New growth rate  : 0\n#New migr. matrix : 1\n\n\n"
      "\nNumber of independent loci to simulate : 1";
  const std::string blocks = "\nNumber of linkage blocks to simulate in structure 1: 2\n";
  const std::string dnaValues =
      ":\n      recombination, mutation rates and transition rates :0.0000000000   0.0000000250   "
      "0.33000\n";
  const std::string msatValues =
      ":\n      recombination, mutation rates, geometric parameter, and range constraint : "
      "0.0010000000   0.0005000000   0.00000   2\n";
  EXPECT_EQ(e.console, demes + "\nMigration matrix 0\n" + matrix0 + "\nMigration matrix 1\n" +
                           matrix1 + events + "\nwith the same chromosomal structure\n" + blocks +
                           "\n   1000 partially linked DNA     " + dnaValues +
                           "\n   3 partially linked MICROSAT" + msatValues);
  // The time unit is first written in the fresh format, then in the matrix format.
  EXPECT_EQ(e.file, kHeader + demes + note + "1e+06)\n" + matrix0 + note + "1000000.0000000)\n" +
                        matrix1 + events + "\nWith the same chromosomal structure\n" + blocks +
                        "\n   1000 partially linked DNA loci" + dnaValues +
                        "\n   3 partially linked MICROSAT loci" + msatValues + "\n");
}

TEST(ModelEcho, FormatsCarryOverToTheNextEcho) {
  TempFolder folder("echo3");
  TSimSettings s;
  ASSERT_EQ(echoOf(s, kOneDemeModel).result, 1);
  Echo second = echoOf(s, kOneDemeModel, false);
  EXPECT_NE(second.console.find("Sample ages\nDeme 0\t0.0000000000\n"), std::string::npos);
  EXPECT_NE(second.console.find("Growth rates\nDeme 0\t0.0005000000\n"), std::string::npos);
  EXPECT_NE(second.file.find("Growth rates\nDeme 0\t0.0005000000\n"), std::string::npos);
}

TEST(ModelEcho, BlockTexts) {
  struct Case {
    const char* line;
    bool maf, daf;
    const char* console;
    const char* file;
  } cases[] = {
      {"FREQ 1 0 2.5e-8 OUTEXP", false, true,
       "Data type: FREQ   :  recombination and mutation rates\n0.0000000000   0.0000000250   "
       "\n   Do not output expected MAF spectrum\n   Output expected DAF spectrum\n",
       "\n   1 partially linked FREQ data:\n      recombination and mutation rates              "
       "    : 0.0000000000   0.0000000250\n   Do not output expected MAF spectrum\n  Output "
       "expected DAF spectrum\n"},
      {"FREQ 1 0 2.5e-8", true, true,
       "Data type: FREQ   :  recombination and mutation rates\n0.0000000000   0.0000000250   "
       "\n   Do not output expected MAF spectrum\n   Do not output expected DAF spectrum\n",
       "\n   1 partially linked FREQ data:\n      recombination and mutation rates              "
       "    : 0.0000000000   0.0000000250\n   Do not output expected MAF spectrum\n   Do not "
       "output expected DAF spectrum\n"},
      {"RFLP 10 0.5 1e-8", false, false,
       "\n   10 partially linked RFLP    :\n      recombination and mutation rates              "
       "    : 0.5000000000   0.0000000100\n",
       "\n   10 partially linked RFLP loci:\n      recombination and mutation rates              "
       "    : 0.5000000000   0.0000000100\n"},
  };
  TempFolder folder("echo4");
  for (const Case& c : cases) {
    ModelFile m;
    m.structures = std::string("//blocks\n1\n//per block\n") + c.line;
    TSimSettings::compMAF = c.maf;
    TSimSettings::compDAF = c.daf;
    TSimSettings s;
    Echo e = echoOf(s, m.text());
    TSimSettings::compMAF = TSimSettings::compDAF = false;
    ASSERT_EQ(e.result, 1) << c.line;
    const std::string start = "structure 1: 1\n";
    EXPECT_EQ(e.console.substr(e.console.find(start) + start.size()), c.console) << c.line;
    EXPECT_EQ(e.file.substr(e.file.find(start) + start.size()), std::string(c.file) + "\n")
        << c.line;
  }
}

TEST(ModelEcho, RefusedModelWritesNoEcho) {
  TempFolder folder("echo5");
  ModelFile m;
  m.sizes = "NPOP\n100";
  TSimSettings s;
  StreamCapture err(std::cerr);
  Echo e = echoOf(s, m.text());
  EXPECT_EQ(e.result, 0);
  EXPECT_EQ(e.console, "");
  EXPECT_EQ(e.file, "");
}

TEST(ModelEcho, NoConsoleEchoWhenQuiet) {
  TempFolder folder("echo6");
  consoleOutput = false;
  TSimSettings s;
  Echo e = echoOf(s, kOneDemeModel);
  consoleOutput = true;
  EXPECT_EQ(e.console, "");
  EXPECT_EQ(e.file.rfind(kHeader, 0), 0u);
}

}  // namespace
