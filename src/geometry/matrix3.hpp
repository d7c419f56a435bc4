// Matrix3: a 3x3 matrix of doubles, enough to solve a 3x3 system by its inverse.
#pragma once

#include "geometry/vector3.hpp"

namespace sightline {

/// Nine doubles, row-major; m[i][j] is row i, column j (0-based inside the type).
struct Matrix3 {
  double m[3][3] = {};

  /// The zero matrix.
  Matrix3() = default;
  /// The matrix whose columns are c1, c2, c3 (columns, not rows).
  Matrix3(Vector3 c1, Vector3 c2, Vector3 c3);

  /// Element at 1-based row and column; an index n >= 1 maps to (n - 1) mod 3, n <= 0 to 0.
  double element(int row, int column) const;
  /// Determinant by the rule of Sarrus: diagonal products minus anti-diagonal ones.
  double determinant() const;
  /// Inverts in place by the adjugate over the determinant and returns a copy;
  /// a determinant of exactly 0 leaves the matrix unchanged.
  Matrix3 invert();
};

/// Matrix product A*B.
Matrix3 operator*(const Matrix3& a, const Matrix3& b);
/// Matrix times column vector.
Vector3 operator*(const Matrix3& m, const Vector3& v);

}  // namespace sightline
