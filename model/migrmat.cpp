#include "model/migrmat.h"

#include <cstring>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <new>

namespace {

void copyName(char (&target)[200], const char* name) {
  std::strncpy(target, name ? name : "", sizeof(target) - 1);
  target[sizeof(target) - 1] = '\0';
}

}  // namespace

TMigrationMatrix::TMigrationMatrix(const TMigrationMatrix& other) { *this = other; }

TMigrationMatrix::TMigrationMatrix(const int& n, const Matrix_Type& shape, const double& m) {
  const bool lattice = shape == Matrix_Type::TWO_D_STEPPING_STONE;
  size = n > 0 ? (lattice ? n * n : n) : 0;
  if (!allocate_matrix()) return;
  auto link = [&](int i, int j) {
    if (i != j) elems[i][j] = elems[j][i] = m;
  };
  switch (shape) {
    case Matrix_Type::CIRCULAR_STEPPING_STONE:
    case Matrix_Type::LINEAR_STEPPING_STONE:
      for (int i = 0; i + 1 < n; ++i) link(i, i + 1);
      if (shape == Matrix_Type::CIRCULAR_STEPPING_STONE && n > 2) link(n - 1, 0);
      break;
    case Matrix_Type::TWO_D_STEPPING_STONE:
      // Demes on an n x n torus, index = row x n + column; right and lower
      // neighbours linked both ways cover all four neighbours of every deme.
      for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
          link(r * n + c, r * n + (c + 1) % n);
          link(r * n + c, ((r + 1) % n) * n + c);
        }
      break;
    default:
      for (int i = 0; i < size; ++i)
        for (int j = 0; j < size; ++j)
          if (i != j) elems[i][j] = m;
  }
}

TMigrationMatrix::TMigrationMatrix(const char* name) {
  copyName(fileName, name);
  read_from_file();
}

TMigrationMatrix::~TMigrationMatrix() { de_allocate_matrix(); }

int TMigrationMatrix::allocate_matrix() {
  if (size <= 0) {
    size = 0;
    return 1;
  }
  elems = new (std::nothrow) double*[size]();
  bool ok = elems != nullptr;
  for (int i = 0; ok && i < size; ++i) {
    elems[i] = new (std::nothrow) double[size]();
    ok = elems[i] != nullptr;
  }
  if (ok) return 1;
  de_allocate_matrix();
  std::cerr << "TMigrationMatrix::allocate_matrix(): memory error !" << std::endl;
  return 0;
}

int TMigrationMatrix::de_allocate_matrix() {
  if (elems) {
    for (int i = size - 1; i >= 0; --i) delete[] elems[i];
    delete[] elems;
    elems = nullptr;
  }
  size = 0;
  return 1;
}

TMigrationMatrix& TMigrationMatrix::operator=(const TMigrationMatrix& other) {
  if (this == &other) return *this;
  de_allocate_matrix();
  totalMigrationProb = other.totalMigrationProb;
  std::memcpy(fileName, other.fileName, sizeof(fileName));
  if (!other.elems) return *this;
  size = other.size;
  if (!allocate_matrix()) {
    std::cerr << "TMigrationMatrix::operator=(): memory error !" << std::endl;
    return *this;
  }
  for (int i = 0; i < size; ++i)
    for (int j = 0; j < size; ++j) elems[i][j] = other.elems[i][j];
  return *this;
}

bool TMigrationMatrix::operator==(const TMigrationMatrix& other) const {
  if (!elems || !other.elems || size != other.size) return false;
  for (int i = 0; i < size; ++i)
    for (int j = 0; j < size; ++j)
      if (elems[i][j] != other.elems[i][j]) return false;
  return true;
}

void TMigrationMatrix::reset_matrix(const double& value) {
  if (!elems) return;
  for (int i = 0; i < size; ++i)
    std::memset(elems[i], static_cast<int>(value), sizeof(double) * size);
}

int TMigrationMatrix::set_elems(const double& value) {
  if (!elems) return 0;
  for (int i = 0; i < size; ++i)
    for (int j = 0; j < size; ++j) elems[i][j] = value;
  return 1;
}

int TMigrationMatrix::compute_total_migration_prob() {
  double sum = 0.0;
  for (int i = 0; elems && i < size; ++i)
    for (int j = 0; j < size; ++j) sum += elems[i][j];
  totalMigrationProb = sum;
  if (sum == 0.0) return 0;
  for (int i = 0; i < size; ++i)
    for (int j = 0; j < size; ++j) elems[i][j] /= sum;
  return 1;
}

int TMigrationMatrix::display_matrix(std::ostream& os) const {
  if (!elems) {
    os << "Matrix contains no data" << "\n";
    return 1;
  }
  // The formats stay in force on the stream, as the model echo expects.
  os.setf(std::ios::fixed, std::ios::floatfield);
  os.setf(std::ios::right, std::ios::adjustfield);
  os.setf(std::ios::showpoint);
  os.precision(7);
  for (int i = 0; i < size; ++i) {
    for (int j = 0; j < size; ++j) os << std::setw(10) << elems[i][j] << " ";
    os << "\n";
  }
  return 1;
}

bool TMigrationMatrix::read_from_file() {
  std::ifstream is(fileName);
  if (!is) {
    std::cerr << "TMigrationMatrix::read_from_file(): bad stream" << std::endl;
    return false;
  }
  is >> *this;
  return true;
}

int TMigrationMatrix::read_from_file(const char* name) {
  copyName(fileName, name);
  read_from_file();
  return 1;
}

std::ostream& operator<<(std::ostream& os, const TMigrationMatrix& m) {
  m.display_matrix(os);
  return os << "\n";
}

std::istream& operator>>(std::istream& is, TMigrationMatrix& m) {
  if (is.fail()) {
    std::cerr << "operator>>(ifstream& is, TMigrationMatrix& S): bad stream " << std::endl;
    return is;
  }
  int n = 0;
  is >> n;
  if (is.bad()) {
    std::cerr << "operator>>(istream& is, TMigrationMatrix& S): " << "bad stream" << std::endl;
    return is;
  }
  m.de_allocate_matrix();
  m.size = n > 0 ? n : 0;
  m.allocate_matrix();
  for (int i = 0; i < m.size && is; ++i)
    for (int j = 0; j < m.size && is; ++j) is >> m.elems[i][j];
  if (is.fail())
    std::cerr << "operator>>(istream& is, TMigrationMatrix& M): bad stream" << std::endl;
  return is;
}
