#include "geometry/matrix3.hpp"

#include <gtest/gtest.h>

#include "support/readable_name.hpp"

namespace sightline {
namespace {

const Matrix3 kIdentity(Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1));

void expectSame(const Matrix3& a, const Matrix3& b) {
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(a.element(i, j), b.element(i, j)) << i << "," << j;
}

TEST(Matrix3, ColumnsAreColumnsAndElementIndexingWraps) {
  const Matrix3 m(Vector3(1, 2, 3), Vector3(4, 5, 6), Vector3(7, 8, 9));
  EXPECT_EQ(m.element(1, 1), 1.0);
  EXPECT_EQ(m.element(2, 1), 2.0);
  EXPECT_EQ(m.element(1, 2), 4.0);
  EXPECT_EQ(m.element(3, 3), 9.0);
  EXPECT_EQ(m.element(4, 1), m.element(1, 1));
  EXPECT_EQ(m.element(0, 2), m.element(1, 2));
  EXPECT_EQ(m.element(-7, 0), m.element(1, 1));
}

struct DeterminantCase {
  Vector3 c1, c2, c3;
  double det;
};

[[maybe_unused]] void PrintTo(const DeterminantCase& c, std::ostream* os) { *os << "columns " << sightline::testing::vectorText(c.c1) << sightline::testing::vectorText(c.c2) << sightline::testing::vectorText(c.c3); }

class Determinant : public ::testing::TestWithParam<DeterminantCase> {};

TEST_P(Determinant, Sarrus) {
  const auto& c = GetParam();
  EXPECT_EQ(Matrix3(c.c1, c.c2, c.c3).determinant(), c.det);
}

INSTANTIATE_TEST_SUITE_P(Table, Determinant,
                         ::testing::Values(DeterminantCase{{1, 0, 0}, {0, 2, 0}, {0, 0, 4}, 8},
                                           DeterminantCase{{2, 1, 0}, {1, 3, 1}, {0, 1, 4}, 18},
                                           DeterminantCase{{1, 2, 3}, {4, 5, 6}, {1, 2, 3}, 0},
                                           DeterminantCase{{0, 1, 0}, {1, 0, 0}, {0, 0, 1}, -1},
                                           DeterminantCase{{1, 4, 7}, {2, 5, 8}, {3, 6, 10}, -3}),
                         sightline::testing::ReadableName());

TEST(Matrix3, InvertDiagonalAndGeneral) {
  Matrix3 d(Vector3(1, 0, 0), Vector3(0, 2, 0), Vector3(0, 0, 4));
  const Matrix3 copy = d.invert();
  expectSame(copy, d);
  EXPECT_EQ(d.element(1, 1), 1.0);
  EXPECT_EQ(d.element(2, 2), 0.5);
  EXPECT_EQ(d.element(3, 3), 0.25);
  EXPECT_EQ(d.element(1, 2), 0.0);

  const Matrix3 m(Vector3(2, 1, 0), Vector3(1, 3, 1), Vector3(0, 1, 4));
  Matrix3 inv = m;
  inv.invert();
  const Matrix3 p = inv * m;
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) EXPECT_NEAR(p.element(i, j), i == j ? 1.0 : 0.0, 1e-15);
  // Non-symmetric: the inverse is the transposed cofactor matrix over det.
  Matrix3 n(Vector3(1, 0, 0), Vector3(2, 1, 0), Vector3(0, 0, 1));  // row 1 = (1, 2, 0)
  n.invert();
  EXPECT_EQ(n.element(1, 2), -2.0);
  EXPECT_EQ(n.element(2, 1), 0.0);
}

TEST(Matrix3, SingularMatrixIsLeftUnchanged) {
  Matrix3 m(Vector3(1, 2, 3), Vector3(4, 5, 6), Vector3(1, 2, 3));
  const Matrix3 before = m;
  const Matrix3 copy = m.invert();
  expectSame(m, before);
  expectSame(copy, before);
}

TEST(Matrix3, Products) {
  const Matrix3 m(Vector3(2, 1, 0), Vector3(1, 3, 1), Vector3(0, 1, 4));
  expectSame(kIdentity * m, m);
  expectSame(m * kIdentity, m);
  EXPECT_EQ(kIdentity * Vector3(1.5, -2, 3), Vector3(1.5, -2, 3));
  EXPECT_EQ(m * Vector3(1, 0, 0), Vector3(2, 1, 0));
  EXPECT_EQ(m * Vector3(1, 1, 1), Vector3(3, 5, 5));
}

}  // namespace
}  // namespace sightline
