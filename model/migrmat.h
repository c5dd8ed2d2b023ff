#pragma once
// A square matrix of migration rates between demes: element [i][j] is the
// rate at which a lineage leaves deme i (row) for deme j (column).
#include <iosfwd>

enum class Matrix_Type {
  CIRCULAR_STEPPING_STONE = 0,
  LINEAR_STEPPING_STONE = 1,
  TWO_D_STEPPING_STONE = 2,
  ISLAND = 3
};

class TMigrationMatrix {
 public:
  double** elems = nullptr;         // size owned rows of size rates; null when empty
  int size = 0;                     // number of demes (rows = columns)
  double totalMigrationProb = 0.0;  // sum of the elements (compute_total_migration_prob)
  char fileName[200] = {};          // file read by the file readers; empty otherwise

  TMigrationMatrix() = default;
  TMigrationMatrix(const TMigrationMatrix& other);
  // n demes (n x n for a 2-D stepping stone) with rate m between neighbours.
  TMigrationMatrix(const int& n, const Matrix_Type& shape, const double& m);
  explicit TMigrationMatrix(const char* name);
  ~TMigrationMatrix();

  TMigrationMatrix& operator=(const TMigrationMatrix& other);
  bool operator==(const TMigrationMatrix& other) const;

  int allocate_matrix();     // size rows of zeros; 0 when memory runs out
  int de_allocate_matrix();  // frees every row; size 0
  void reset_matrix(const double& value);  // byte fill of every row
  int set_elems(const double& value);
  int compute_total_migration_prob();
  int display_matrix(std::ostream& os) const;
  bool read_from_file();
  int read_from_file(const char* name);
};

std::ostream& operator<<(std::ostream& os, const TMigrationMatrix& m);
std::istream& operator>>(std::istream& is, TMigrationMatrix& m);
