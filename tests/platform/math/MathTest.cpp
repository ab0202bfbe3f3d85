#include "platform/math/Math.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace plat;

namespace {

constexpr float kEps = 1e-5f;

void ExpectMatNear(const Mat4& a, const Mat4& b, float eps = kEps) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << "row " << r << " col " << c;
}

void ExpectVecNear(const Vec3& a, const Vec3& b, float eps = kEps) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

// q and -q are the same rotation.
void ExpectSameRotation(const Quat& a, const Quat& b, float eps = kEps) {
  const float s = Dot(a, b) < 0.0f ? -1.0f : 1.0f;
  EXPECT_NEAR(a.x, s * b.x, eps);
  EXPECT_NEAR(a.y, s * b.y, eps);
  EXPECT_NEAR(a.z, s * b.z, eps);
  EXPECT_NEAR(a.w, s * b.w, eps);
}

}  // namespace

TEST(MathVector, OperatorsDotCrossLength) {
  Vec3 a(1, 2, 3), b(4, 5, 6);
  EXPECT_EQ(a + b, Vec3(5, 7, 9));
  EXPECT_EQ(b - a, Vec3(3, 3, 3));
  EXPECT_EQ(a * 2.0f, Vec3(2, 4, 6));
  EXPECT_EQ(2.0f * a, Vec3(2, 4, 6));
  EXPECT_EQ(-a, Vec3(-1, -2, -3));
  EXPECT_FLOAT_EQ(Dot(a, b), 32.0f);
  EXPECT_EQ(Cross(Vec3(1, 0, 0), Vec3(0, 1, 0)), Vec3(0, 0, 1));  // right-handed
  EXPECT_EQ(Cross(a, b), Vec3(-3, 6, -3));
  EXPECT_FLOAT_EQ(Length(Vec3(2, 3, 6)), 7.0f);
  EXPECT_FLOAT_EQ(Length(Vec2(3, 4)), 5.0f);
  EXPECT_EQ(Lerp(Vec3(0, 0, 0), Vec3(2, 4, 8), 0.25f), Vec3(0.5f, 1, 2));
}

TEST(MathVector, NormalizeKeepsZeroVectorZero) {
  ExpectVecNear(Normalize(Vec3(0, 3, 4)), Vec3(0, 0.6f, 0.8f));
  EXPECT_EQ(Normalize(Vec3()), Vec3());
  EXPECT_EQ(Normalize(Vec2()), Vec2());
  EXPECT_EQ(Normalize(Vec4()), Vec4());
  EXPECT_EQ(Normalize(Quat(0, 0, 0, 0)), Quat(0, 0, 0, 0));
}

TEST(MathVector, CatmullRomPassesThroughInnerPoints) {
  Vec3 p0(0, 0, 0), p1(1, 0, 0), p2(2, 1, 0), p3(3, 3, 1);
  ExpectVecNear(CatmullRom(p0, p1, p2, p3, 0.0f), p1);
  ExpectVecNear(CatmullRom(p0, p1, p2, p3, 1.0f), p2);
  // Hand-computed: 0.5·(2·p1 + (p2-p0)·s + (2p0-5p1+4p2-p3)·s² + (-p0+3p1-3p2+p3)·s³), s = 0.5
  ExpectVecNear(CatmullRom(p0, p1, p2, p3, 0.5f), Vec3(1.5f, 0.375f, -0.0625f));
}

TEST(MathMatrix, MultiplyAppliesLeftFirst) {
  // Row vectors: a point goes through the left matrix first.
  Mat4 m = Scaling(2, 2, 2) * Translation(1, 0, 0);
  ExpectVecNear(TransformCoord(Vec3(1, 1, 1), m), Vec3(3, 2, 2));
  Mat4 n = Translation(1, 0, 0) * Scaling(2, 2, 2);
  ExpectVecNear(TransformCoord(Vec3(1, 1, 1), n), Vec3(4, 2, 2));
  EXPECT_EQ(Translation(5, 6, 7).m[3][0], 5.0f);  // translation in the fourth row
}

TEST(MathMatrix, TransformNormalIgnoresTranslation) {
  Mat4 m = RotationZ(kPi / 2) * Translation(10, 20, 30);
  ExpectVecNear(TransformNormal(Vec3(1, 0, 0), m), Vec3(0, 1, 0));
  ExpectVecNear(TransformCoord(Vec3(1, 0, 0), m), Vec3(10, 21, 30));
  Vec4 h = Transform(Vec3(1, 2, 3), Translation(1, 1, 1));
  EXPECT_EQ(h, Vec4(2, 3, 4, 1));
}

TEST(MathMatrix, TransformCoordDividesByW) {
  Mat4 proj = PerspectiveFovRH(kPi / 2, 1.0f, 1.0f, 100.0f);
  // A point on the near plane maps to depth 0, on the far plane to depth 1.
  EXPECT_NEAR(TransformCoord(Vec3(0, 0, -1), proj).z, 0.0f, kEps);
  EXPECT_NEAR(TransformCoord(Vec3(0, 0, -100), proj).z, 1.0f, kEps);
  ExpectVecNear(TransformCoord(Vec3(2, -2, -2), proj), Vec3(1, -1, TransformCoord(Vec3(0, 0, -2), proj).z));
  // w = 0: no infinities.
  Vec3 p = TransformCoord(Vec3(1, 1, 0), proj);
  EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
}

TEST(MathMatrix, RotationsAreCounterClockwise) {
  ExpectVecNear(TransformCoord(Vec3(0, 1, 0), RotationX(kPi / 2)), Vec3(0, 0, 1));
  ExpectVecNear(TransformCoord(Vec3(0, 0, 1), RotationY(kPi / 2)), Vec3(1, 0, 0));
  ExpectVecNear(TransformCoord(Vec3(1, 0, 0), RotationZ(kPi / 2)), Vec3(0, 1, 0));
  ExpectMatNear(RotationAxis(Vec3(0, 2, 0), 0.7f), RotationY(0.7f));
  ExpectMatNear(RotationAxis(Vec3(1, 1, 1), 0.4f), RotationQuaternion(QuatRotationAxis(Vec3(1, 1, 1), 0.4f)));
}

TEST(MathMatrix, PerspectiveFovRHEntries) {
  // fovY 60°, aspect 16/9, near 0.5, far 200.
  const float fov = kPi / 3, aspect = 16.0f / 9.0f, zn = 0.5f, zf = 200.0f;
  Mat4 p = PerspectiveFovRH(fov, aspect, zn, zf);
  const float yScale = 1.7320508f;  // cot(30°)
  Mat4 expected = Mat4::Zero();
  expected.m[0][0] = yScale / aspect;
  expected.m[1][1] = yScale;
  expected.m[2][2] = 200.0f / (0.5f - 200.0f);
  expected.m[2][3] = -1.0f;
  expected.m[3][2] = 100.0f / (0.5f - 200.0f);
  ExpectMatNear(p, expected);
}

TEST(MathMatrix, OrthoProjections) {
  Mat4 o = OrthoRH(4, 2, 1, 11);
  ExpectMatNear(o, Mat4(0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, -0.1f, 0, 0, 0, -0.1f, 1));
  Mat4 oc = OrthoOffCenterRH(0, 4, 0, 2, 1, 11);
  ExpectVecNear(TransformCoord(Vec3(0, 0, -1), oc), Vec3(-1, -1, 0));
  ExpectVecNear(TransformCoord(Vec3(4, 2, -11), oc), Vec3(1, 1, 1));
}

TEST(MathMatrix, LookAtRHOfKnownEye) {
  // Eye on +Z looking at the origin: the identity view, moved back by 5.
  ExpectMatNear(LookAtRH(Vec3(0, 0, 5), Vec3(0, 0, 0), Vec3(0, 1, 0)), Translation(0, 0, -5));
  // Eye on +X looking at the origin: x axis = (0,0,-1), y = (0,1,0), z = (1,0,0).
  Mat4 v = LookAtRH(Vec3(10, 0, 0), Vec3(0, 0, 0), Vec3(0, 1, 0));
  ExpectMatNear(v, Mat4(0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, -10, 1));
  // The target lands straight ahead on the view's -Z axis.
  Mat4 w = LookAtRH(Vec3(3, 4, 5), Vec3(1, 2, -1), Vec3(0, 1, 0));
  Vec3 at = TransformCoord(Vec3(1, 2, -1), w);
  ExpectVecNear(at, Vec3(0, 0, -Length(Vec3(2, 2, 6))));
}

TEST(MathMatrix, InverseAndSingular) {
  Mat4 m = RotationYawPitchRoll(0.3f, -0.7f, 1.1f) * Scaling(2, 3, 0.5f) * Translation(4, -5, 6);
  Mat4 inv;
  float det = 0;
  ASSERT_TRUE(Inverse(m, inv, &det));
  EXPECT_NEAR(det, 3.0f, 1e-4f);
  ExpectMatNear(m * inv, Mat4::Identity(), 1e-5f);

  // Singular matrices report failure and leave the output alone.
  const Mat4 untouched = Translation(9, 9, 9);
  const Mat4 singular[] = {
      Scaling(1, 0, 1),
      Mat4::Zero(),
      Mat4(1, 2, 3, 4, 1, 2, 3, 4, 0, 0, 1, 0, 0, 0, 0, 1),  // equal rows
      Mat4(1, 2, 3, 0, 2, 4, 6, 0, 0, 1, 0, 0, 0, 0, 0, 1),  // dependent rows
  };
  for (const Mat4& s : singular) {
    Mat4 out = untouched;
    EXPECT_FALSE(Inverse(s, out));
    EXPECT_EQ(out, untouched);
  }
}

TEST(MathMatrix, Transpose) {
  Mat4 m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  Mat4 t = Transpose(m);
  EXPECT_EQ(t.m[0][3], 13.0f);
  EXPECT_EQ(t.m[3][0], 4.0f);
  EXPECT_EQ(Transpose(t), m);
}

TEST(MathQuaternion, YawPitchRollMatchesRotationProduct) {
  // Roll about Z first, then pitch about X, then yaw about Y.
  const float cases[][3] = {{0.5f, 0, 0}, {0, 0.5f, 0}, {0, 0, 0.5f}, {0.3f, -0.7f, 1.1f}, {2.5f, 1.2f, -0.4f}};
  for (const auto& c : cases) {
    Quat q = QuatRotationYawPitchRoll(c[0], c[1], c[2]);
    Mat4 expected = RotationZ(c[2]) * RotationX(c[1]) * RotationY(c[0]);
    ExpectMatNear(RotationQuaternion(q), expected);
    ExpectMatNear(RotationYawPitchRoll(c[0], c[1], c[2]), expected);
    EXPECT_NEAR(Length(q), 1.0f, kEps);
  }
  // Hand-computed: yaw 90° alone is (0, sin 45°, 0, cos 45°).
  Quat y = QuatRotationYawPitchRoll(kPi / 2, 0, 0);
  EXPECT_NEAR(y.y, 0.70710678f, kEps);
  EXPECT_NEAR(y.w, 0.70710678f, kEps);
  EXPECT_NEAR(y.x, 0.0f, kEps);
  EXPECT_NEAR(y.z, 0.0f, kEps);
}

TEST(MathQuaternion, MatrixRoundTripAndMultiply) {
  // Cover each branch of the matrix-to-quaternion conversion (trace and each diagonal).
  const Quat cases[] = {QuatRotationYawPitchRoll(0.2f, 0.1f, -0.3f), QuatRotationAxis(Vec3(1, 0, 0), 3.0f),
                        QuatRotationAxis(Vec3(0, 1, 0), 3.0f), QuatRotationAxis(Vec3(0, 0, 1), 3.0f),
                        QuatRotationAxis(Vec3(1, -2, 0.5f), 2.9f)};
  for (const Quat& q : cases) ExpectSameRotation(QuatRotationMatrix(RotationQuaternion(q)), q);

  // Multiply(a, b) rotates by a, then by b: its matrix is M(a) × M(b).
  Quat a = QuatRotationAxis(Vec3(1, 0, 0), 0.6f), b = QuatRotationAxis(Vec3(0, 1, 1), -1.3f);
  ExpectMatNear(RotationQuaternion(Multiply(a, b)), RotationQuaternion(a) * RotationQuaternion(b));
  // The conjugate undoes the rotation.
  ExpectSameRotation(Multiply(a, Conjugate(a)), Quat());
}

TEST(MathQuaternion, SlerpEndsMidpointAndShortestArc) {
  Quat a = Quat(), b = QuatRotationAxis(Vec3(0, 1, 0), kPi / 2);
  ExpectSameRotation(Slerp(a, b, 0.0f), a);
  ExpectSameRotation(Slerp(a, b, 1.0f), b);
  ExpectSameRotation(Slerp(a, b, 0.5f), QuatRotationAxis(Vec3(0, 1, 0), kPi / 4));
  // -b is the same rotation; slerp still takes the short way.
  Quat nb(-b.x, -b.y, -b.z, -b.w);
  ExpectSameRotation(Slerp(a, nb, 0.5f), QuatRotationAxis(Vec3(0, 1, 0), kPi / 4));
  // Nearly equal quaternions fall back to a finite linear blend.
  Quat c = QuatRotationAxis(Vec3(0, 1, 0), 1e-4f);
  Quat m = Slerp(a, c, 0.5f);
  EXPECT_TRUE(std::isfinite(m.x) && std::isfinite(m.w));
}

TEST(MathPlane, FromPointsNormalizeDot) {
  // Counter-clockwise points in the plane y = 2, seen from above: normal +Y.
  Plane p = PlaneFromPoints(Vec3(0, 2, 0), Vec3(0, 2, 1), Vec3(1, 2, 0));
  EXPECT_NEAR(p.a, 0.0f, kEps);
  EXPECT_NEAR(p.b, 1.0f, kEps);
  EXPECT_NEAR(p.c, 0.0f, kEps);
  EXPECT_NEAR(p.d, -2.0f, kEps);
  EXPECT_NEAR(PlaneDotCoord(p, Vec3(5, 7, -3)), 5.0f, kEps);
  EXPECT_NEAR(PlaneDotNormal(p, Vec3(5, 7, -3)), 7.0f, kEps);

  Plane n = PlaneNormalize(Plane(0, 3, 4, 10));
  EXPECT_NEAR(n.b, 0.6f, kEps);
  EXPECT_NEAR(n.c, 0.8f, kEps);
  EXPECT_NEAR(n.d, 2.0f, kEps);
  Plane z = PlaneNormalize(Plane(0, 0, 0, 5));
  EXPECT_EQ(z.d, 0.0f);
  EXPECT_TRUE(std::isfinite(z.a));
}

TEST(MathMatrix, Transformation2D) {
  // Identity when every part is absent.
  ExpectMatNear(Transformation2D(nullptr, 0, nullptr, nullptr, 0, nullptr), Mat4::Identity());
  // Scale 2×3 about (1,1), rotate 90° about (0,0), move by (10,20).
  Vec2 sc(1, 1), s(2, 3), t(10, 20);
  Mat4 m = Transformation2D(&sc, 0, &s, nullptr, kPi / 2, &t);
  // (2,2) → scaled about (1,1): (3,4) → rotated: (-4,3) → moved: (6,23)
  Vec2 p = TransformCoord(Vec2(2, 2), m);
  EXPECT_NEAR(p.x, 6.0f, 1e-4f);
  EXPECT_NEAR(p.y, 23.0f, 1e-4f);
  // Rotation about a centre keeps the centre in place.
  Vec2 rc(5, 5);
  Mat4 r = Transformation2D(nullptr, 0, nullptr, &rc, 1.0f, nullptr);
  Vec2 c = TransformCoord(rc, r);
  EXPECT_NEAR(c.x, 5.0f, 1e-5f);
  EXPECT_NEAR(c.y, 5.0f, 1e-5f);
  // Scaling along axes turned by 90° swaps which axis is stretched.
  Vec2 s2(2, 1);
  Mat4 sr = Transformation2D(nullptr, kPi / 2, &s2, nullptr, 0, nullptr);
  Vec2 q = TransformCoord(Vec2(0, 1), sr);
  EXPECT_NEAR(q.x, 0.0f, 1e-5f);
  EXPECT_NEAR(q.y, 2.0f, 1e-5f);
}
