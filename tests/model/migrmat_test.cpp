#include "tests/support/scratchFolders.h"
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "model/migrmat.h"

namespace {

TMigrationMatrix matrixOf(int n, std::initializer_list<double> values) {
  TMigrationMatrix m;
  m.size = n;
  m.allocate_matrix();
  int k = 0;
  for (double v : values) {
    m.elems[k / n][k % n] = v;
    ++k;
  }
  return m;
}

TEST(MigrationMatrixText, FixedFieldsOfTenWithSevenDecimals) {
  TMigrationMatrix m = matrixOf(2, {0.0, 0.001, 12.5, 0.0});
  std::ostringstream os;
  os << m;
  EXPECT_EQ(os.str(), " 0.0000000  0.0010000 \n12.5000000  0.0000000 \n\n");
  // The formats stay in force afterwards.
  os.str("");
  os << 1.5;
  EXPECT_EQ(os.str(), "1.5000000");

  TMigrationMatrix empty;
  std::ostringstream e;
  e << empty;
  EXPECT_EQ(e.str(), "Matrix contains no data\n\n");
}

TEST(MigrationMatrix, CopiesAreDeepAndCompareByElements) {
  TMigrationMatrix a = matrixOf(2, {0.0, 1.0, 2.0, 0.0});
  std::snprintf(a.fileName, sizeof(a.fileName), "m.txt");
  TMigrationMatrix b;
  b = a;
  EXPECT_TRUE(a == b);
  EXPECT_STREQ(b.fileName, "m.txt");
  a.elems[0][1] = 5.0;
  EXPECT_DOUBLE_EQ(b.elems[0][1], 1.0);
  EXPECT_FALSE(a == b);
  TMigrationMatrix c(a);
  EXPECT_TRUE(c == a);

  TMigrationMatrix none, none2;
  EXPECT_FALSE(none == none2);  // a matrix without rows equals nothing
  b = none;
  EXPECT_EQ(b.elems, nullptr);
  EXPECT_EQ(b.size, 0);
}

TEST(MigrationMatrix, TotalsFillsAndResets) {
  TMigrationMatrix zero = matrixOf(2, {0, 0, 0, 0});
  EXPECT_EQ(zero.compute_total_migration_prob(), 0);
  EXPECT_EQ(zero.elems[1][0], 0.0);

  TMigrationMatrix m = matrixOf(2, {0, 1, 3, 0});
  EXPECT_EQ(m.compute_total_migration_prob(), 1);
  EXPECT_DOUBLE_EQ(m.totalMigrationProb, 4.0);
  EXPECT_DOUBLE_EQ(m.elems[1][0], 0.75);

  EXPECT_EQ(m.set_elems(2.5), 1);
  EXPECT_DOUBLE_EQ(m.elems[0][0], 2.5);
  m.reset_matrix(0.0);
  EXPECT_EQ(m.elems[1][1], 0.0);
  TMigrationMatrix empty;
  EXPECT_EQ(empty.set_elems(1.0), 0);
  EXPECT_EQ(empty.de_allocate_matrix(), 1);
}

TEST(MigrationMatrix, ShapesSetTheirNeighbours) {
  const double m = 0.25;
  TMigrationMatrix ring(4, Matrix_Type::CIRCULAR_STEPPING_STONE, m);
  TMigrationMatrix line(4, Matrix_Type::LINEAR_STEPPING_STONE, m);
  TMigrationMatrix island(3, Matrix_Type::ISLAND, m);
  TMigrationMatrix torus(3, Matrix_Type::TWO_D_STEPPING_STONE, m);
  ASSERT_EQ(torus.size, 9);
  EXPECT_DOUBLE_EQ(ring.elems[0][3], m);
  EXPECT_DOUBLE_EQ(ring.elems[3][0], m);
  EXPECT_DOUBLE_EQ(ring.elems[0][2], 0.0);
  EXPECT_DOUBLE_EQ(line.elems[0][3], 0.0);
  EXPECT_DOUBLE_EQ(line.elems[2][3], m);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_DOUBLE_EQ(island.elems[i][j], i == j ? 0.0 : m);
  // Every deme of the torus has its four lattice neighbours: deme 0 (row 0,
  // column 0) reaches 1, 2 (wrap), 3 and 6 (wrap).
  for (int i = 0; i < 9; ++i) {
    double row = 0.0;
    for (int j = 0; j < 9; ++j) row += torus.elems[i][j];
    EXPECT_DOUBLE_EQ(row, 4 * m) << "deme " << i;
  }
  for (int j : {1, 2, 3, 6}) EXPECT_DOUBLE_EQ(torus.elems[0][j], m);
  TMigrationMatrix single(1, Matrix_Type::LINEAR_STEPPING_STONE, m);
  EXPECT_DOUBLE_EQ(single.elems[0][0], 0.0);
}

TEST(MigrationMatrix, ReadsFromStreamsAndFiles) {
  std::istringstream is("2\n0 0.5\n0.25 0\n");
  TMigrationMatrix m;
  is >> m;
  ASSERT_EQ(m.size, 2);
  EXPECT_DOUBLE_EQ(m.elems[0][1], 0.5);
  EXPECT_DOUBLE_EQ(m.elems[1][0], 0.25);

  std::istringstream shortStream("2\n0 0.5\n");
  TMigrationMatrix partial;
  testing::internal::CaptureStderr();
  shortStream >> partial;
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "operator>>(istream& is, TMigrationMatrix& M): bad stream\n");
  EXPECT_EQ(partial.size, 2);

  const std::string path = scratchPath("migrmat_test_matrix");
  std::ofstream(path) << "3\n0 1 2\n3 0 4\n5 6 0\n";
  TMigrationMatrix fromFile(path.c_str());
  ASSERT_EQ(fromFile.size, 3);
  EXPECT_DOUBLE_EQ(fromFile.elems[2][1], 6.0);
  std::remove(path.c_str());

  TMigrationMatrix missing;
  testing::internal::CaptureStderr();
  std::snprintf(missing.fileName, sizeof(missing.fileName), "%s", "/nonexistent/dir/m.txt");
  EXPECT_FALSE(missing.read_from_file());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "TMigrationMatrix::read_from_file(): bad stream\n");
}

}  // namespace
