#pragma once

// The members of a plain aggregate (a struct of hooks or services) one by
// one, without naming them: how many there are, and a visit of each with its
// index in declaration order. Up to 32 members.

#include <cstddef>
#include <utility>

namespace crv::testing {

namespace aggregate_detail {

// Converts to any member type; only ever named in unevaluated braces.
struct AnyMember {
  template <class T>
  operator T() const;  // NOLINT: deliberately implicit
};

template <class T, std::size_t... I>
constexpr bool bracedFrom(std::index_sequence<I...>) {
  return requires { T{((void)I, AnyMember{})...}; };
}

}  // namespace aggregate_detail

// The number of members: the most initializers the braces of T take.
template <class T, std::size_t N = 0>
constexpr std::size_t memberCount() {
  if constexpr (aggregate_detail::bracedFrom<T>(std::make_index_sequence<N + 1>{})) {
    return memberCount<T, N + 1>();
  } else {
    return N;
  }
}

// Calls visit(member, index) for every member, in declaration order.
template <class T, class Visit>
void forEachMember(const T& object, Visit&& visit) {
  constexpr std::size_t count = memberCount<T>();
  static_assert(count >= 1 && count <= 32, "one to 32 members");
  if constexpr (count == 1) {
    const auto& [m0] = object;
    visit(m0, 0);
  } else if constexpr (count == 2) {
    const auto& [m0, m1] = object;
    visit(m0, 0); visit(m1, 1);
  } else if constexpr (count == 3) {
    const auto& [m0, m1, m2] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2);
  } else if constexpr (count == 4) {
    const auto& [m0, m1, m2, m3] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3);
  } else if constexpr (count == 5) {
    const auto& [m0, m1, m2, m3, m4] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4);
  } else if constexpr (count == 6) {
    const auto& [m0, m1, m2, m3, m4, m5] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5);
  } else if constexpr (count == 7) {
    const auto& [m0, m1, m2, m3, m4, m5, m6] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
  } else if constexpr (count == 8) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7);
  } else if constexpr (count == 9) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8);
  } else if constexpr (count == 10) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9);
  } else if constexpr (count == 11) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10);
  } else if constexpr (count == 12) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11);
  } else if constexpr (count == 13) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12);
  } else if constexpr (count == 14) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
  } else if constexpr (count == 15) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14);
  } else if constexpr (count == 16) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15);
  } else if constexpr (count == 17) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16);
  } else if constexpr (count == 18) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16, m17] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16); visit(m17, 17);
  } else if constexpr (count == 19) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16, m17, m18] =
        object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16); visit(m17, 17); visit(m18, 18);
  } else if constexpr (count == 20) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16, m17, m18, m19] =
        object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16); visit(m17, 17); visit(m18, 18); visit(m19, 19);
  } else if constexpr (count == 21) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16, m17, m18, m19,
        m20] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16); visit(m17, 17); visit(m18, 18); visit(m19, 19);
    visit(m20, 20);
  } else if constexpr (count == 22) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16, m17, m18, m19,
        m20, m21] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16); visit(m17, 17); visit(m18, 18); visit(m19, 19);
    visit(m20, 20); visit(m21, 21);
  } else if constexpr (count == 23) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16, m17, m18, m19,
        m20, m21, m22] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16); visit(m17, 17); visit(m18, 18); visit(m19, 19);
    visit(m20, 20); visit(m21, 21); visit(m22, 22);
  } else if constexpr (count == 24) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16, m17, m18, m19,
        m20, m21, m22, m23] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16); visit(m17, 17); visit(m18, 18); visit(m19, 19);
    visit(m20, 20); visit(m21, 21); visit(m22, 22); visit(m23, 23);
  } else if constexpr (count == 25) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16, m17, m18, m19,
        m20, m21, m22, m23, m24] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16); visit(m17, 17); visit(m18, 18); visit(m19, 19);
    visit(m20, 20); visit(m21, 21); visit(m22, 22); visit(m23, 23); visit(m24, 24);
  } else if constexpr (count == 26) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16, m17, m18, m19,
        m20, m21, m22, m23, m24, m25] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16); visit(m17, 17); visit(m18, 18); visit(m19, 19);
    visit(m20, 20); visit(m21, 21); visit(m22, 22); visit(m23, 23); visit(m24, 24); visit(m25, 25);
  } else if constexpr (count == 27) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16, m17, m18, m19,
        m20, m21, m22, m23, m24, m25, m26] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16); visit(m17, 17); visit(m18, 18); visit(m19, 19);
    visit(m20, 20); visit(m21, 21); visit(m22, 22); visit(m23, 23); visit(m24, 24); visit(m25, 25);
    visit(m26, 26);
  } else if constexpr (count == 28) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16, m17, m18, m19,
        m20, m21, m22, m23, m24, m25, m26, m27] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16); visit(m17, 17); visit(m18, 18); visit(m19, 19);
    visit(m20, 20); visit(m21, 21); visit(m22, 22); visit(m23, 23); visit(m24, 24); visit(m25, 25);
    visit(m26, 26); visit(m27, 27);
  } else if constexpr (count == 29) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16, m17, m18, m19,
        m20, m21, m22, m23, m24, m25, m26, m27, m28] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16); visit(m17, 17); visit(m18, 18); visit(m19, 19);
    visit(m20, 20); visit(m21, 21); visit(m22, 22); visit(m23, 23); visit(m24, 24); visit(m25, 25);
    visit(m26, 26); visit(m27, 27); visit(m28, 28);
  } else if constexpr (count == 30) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16, m17, m18, m19,
        m20, m21, m22, m23, m24, m25, m26, m27, m28, m29] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16); visit(m17, 17); visit(m18, 18); visit(m19, 19);
    visit(m20, 20); visit(m21, 21); visit(m22, 22); visit(m23, 23); visit(m24, 24); visit(m25, 25);
    visit(m26, 26); visit(m27, 27); visit(m28, 28); visit(m29, 29);
  } else if constexpr (count == 31) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16, m17, m18, m19,
        m20, m21, m22, m23, m24, m25, m26, m27, m28, m29, m30] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16); visit(m17, 17); visit(m18, 18); visit(m19, 19);
    visit(m20, 20); visit(m21, 21); visit(m22, 22); visit(m23, 23); visit(m24, 24); visit(m25, 25);
    visit(m26, 26); visit(m27, 27); visit(m28, 28); visit(m29, 29); visit(m30, 30);
  } else if constexpr (count == 32) {
    const auto& [m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15, m16, m17, m18, m19,
        m20, m21, m22, m23, m24, m25, m26, m27, m28, m29, m30, m31] = object;
    visit(m0, 0); visit(m1, 1); visit(m2, 2); visit(m3, 3); visit(m4, 4); visit(m5, 5); visit(m6, 6);
    visit(m7, 7); visit(m8, 8); visit(m9, 9); visit(m10, 10); visit(m11, 11); visit(m12, 12); visit(m13, 13);
    visit(m14, 14); visit(m15, 15); visit(m16, 16); visit(m17, 17); visit(m18, 18); visit(m19, 19);
    visit(m20, 20); visit(m21, 21); visit(m22, 22); visit(m23, 23); visit(m24, 24); visit(m25, 25);
    visit(m26, 26); visit(m27, 27); visit(m28, 28); visit(m29, 29); visit(m30, 30); visit(m31, 31);
  }
}

}  // namespace crv::testing
