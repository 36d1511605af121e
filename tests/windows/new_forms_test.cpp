// A program that replaces only operator new(size_t) and operator
// delete(void*), as a host may to count or route its allocations: the
// array and nothrow forms of the start-up layer must reach them, as the
// default versions do in the standard, so that the host sees every
// allocation and release. Returns 0 when they do.
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {
int news = 0;
int deletes = 0;
}  // namespace

void* operator new(std::size_t size) {
  ++news;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
  if (p != nullptr) ++deletes;
  std::free(p);
}

int main() {
  int failures = 0;
  const auto expect = [&failures](const char* form, int got_news,
                                  int got_deletes) {
    if (news != got_news || deletes != got_deletes) {
      std::printf(
          "%s: %d allocations and %d releases seen, expected %d and %d\n", form,
          news, deletes, got_news, got_deletes);
      ++failures;
    }
  };
  // Called directly, not as new-expressions, which the compiler may elide.
  void* p = ::operator new[](24);
  expect("operator new[]", 1, 0);
  ::operator delete[](p);
  expect("operator delete[]", 1, 1);
  p = ::operator new(8, std::nothrow);
  expect("operator new(nothrow)", 2, 1);
  ::operator delete(p, std::nothrow);
  expect("operator delete(nothrow)", 2, 2);
  p = ::operator new[](8, std::nothrow);
  expect("operator new[](nothrow)", 3, 2);
  ::operator delete[](p, std::nothrow);
  expect("operator delete[](nothrow)", 3, 3);
  // Through pointers the compiler cannot see through: it would otherwise
  // drop a sized release of storage from an allocation it has inlined.
  void (*volatile sized_delete)(void*, std::size_t) noexcept =
      &::operator delete;
  void (*volatile sized_delete_array)(void*, std::size_t) noexcept =
      &::operator delete[];
  p = ::operator new(16);
  sized_delete(p, 16);
  expect("sized operator delete", 4, 4);
  p = ::operator new[](16);
  sized_delete_array(p, 16);
  expect("sized operator delete[]", 5, 5);
  if (failures == 0) std::printf("ok: every form reached the replacements\n");
  return failures == 0 ? 0 : 1;
}
