#include "geometry/matrix3.hpp"

namespace sightline {

Matrix3::Matrix3(Vector3 c1, Vector3 c2, Vector3 c3) {
  for (int i = 0; i < 3; ++i) {
    m[i][0] = c1.component(i + 1, Cartesian);
    m[i][1] = c2.component(i + 1, Cartesian);
    m[i][2] = c3.component(i + 1, Cartesian);
  }
}

double Matrix3::element(int row, int column) const {
  const int r = row >= 1 ? (row - 1) % 3 : 0;
  const int c = column >= 1 ? (column - 1) % 3 : 0;
  return m[r][c];
}

double Matrix3::determinant() const {
  double det = 0;
  for (int i = 0; i < 3; ++i) {
    double diagonal = 1;
    double antiDiagonal = 1;
    for (int j = 0; j < 3; ++j) {
      const int k = (i + j) % 3;
      diagonal = diagonal * m[j][k];
      antiDiagonal = antiDiagonal * m[2 - j][k];
    }
    det = det + (diagonal - antiDiagonal);
  }
  return det;
}

Matrix3 Matrix3::invert() {
  const double d = determinant();
  if (d == 0) return *this;
  const Matrix3 old = *this;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
      const int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
      m[j][i] = (old.m[i1][j1] * old.m[i2][j2] - old.m[i1][j2] * old.m[i2][j1]) / d;
    }
  }
  return *this;
}

Matrix3 operator*(const Matrix3& a, const Matrix3& b) {
  Matrix3 product;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double sum = 0;
      for (int k = 0; k < 3; ++k) sum = sum + a.m[i][k] * b.m[k][j];
      product.m[i][j] = sum;
    }
  }
  return product;
}

Vector3 operator*(const Matrix3& m, const Vector3& v) {
  double r[3];
  for (int i = 0; i < 3; ++i) {
    double sum = 0;
    for (int k = 0; k < 3; ++k) sum = sum + m.m[i][k] * v.component(k + 1, Cartesian);
    r[i] = sum;
  }
  return {r[0], r[1], r[2]};
}

}  // namespace sightline
