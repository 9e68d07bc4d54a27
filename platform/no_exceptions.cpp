// The C++ runtime's throwing paths for the shipped programs, which are built without exceptions.
// The standard library reports a string past its maximum size, an index out of range or memory
// that ran out by throwing; our code has no handler, so the library's own versions would end in
// std::terminate as well, after bringing the unwinder, the exception runtime and the demangler
// of its terminate handler into the program: a third of setup.exe. These end the program at
// once, with the reason on stderr, as that handler would have said it.
//
// Linked only into the shipped programs. The test programs keep the library's versions,
// since GoogleTest catches exceptions of its own.

#include <stdio.h>
#include <stdlib.h>

#include <new>

namespace {

[[noreturn]] void Fail(const char* kind, const char* what) {
  // stdio's plain writes: the formatted ones would bring mingw's printf into the program.
  fputs("terminated: ", stderr);
  fputs(kind, stderr);
  if (what) {
    fputs(": ", stderr);
    fputs(what, stderr);
  }
  fputs("\n", stderr);
  abort();
}

void* Allocate(std::size_t size) {
  // malloc(0) may answer null; a C++ allocation of 0 bytes must not.
  void* block = malloc(size ? size : 1);
  if (!block)
    Fail("std::bad_alloc", "out of memory");
  return block;
}

}  // namespace

// Never returns null, so no caller checks for it, and nothing sets a new-handler.
void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return malloc(size ? size : 1);
}
void operator delete(void* block) noexcept {
  free(block);
}
void operator delete[](void* block) noexcept {
  free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  free(block);
}

// A failed check of the library's own (our Windows builds turn them on).
void std::__glibcxx_assert_fail(const char* file, int line, const char* function,
                                const char* condition) noexcept {
  char number[12];
  fputs(file, stderr);
  fputs(":", stderr);
  fputs(_itoa(line, number, 10), stderr);
  fputs(": ", stderr);
  fputs(function, stderr);
  fputs("\n", stderr);
  Fail("assertion failed", condition);
}

// A call through a pure virtual slot: an object used while it is being built or destroyed.
extern "C" void __cxa_pure_virtual() {
  Fail("pure virtual function called", nullptr);
}

namespace std {

void __throw_bad_exception() {
  Fail("std::bad_exception", nullptr);
}
void __throw_bad_alloc() {
  Fail("std::bad_alloc", nullptr);
}
void __throw_bad_array_new_length() {
  Fail("std::bad_array_new_length", nullptr);
}
void __throw_bad_cast() {
  Fail("std::bad_cast", nullptr);
}
void __throw_bad_typeid() {
  Fail("std::bad_typeid", nullptr);
}
void __throw_logic_error(const char* what) {
  Fail("std::logic_error", what);
}
void __throw_domain_error(const char* what) {
  Fail("std::domain_error", what);
}
void __throw_invalid_argument(const char* what) {
  Fail("std::invalid_argument", what);
}
void __throw_length_error(const char* what) {
  Fail("std::length_error", what);
}
void __throw_out_of_range(const char* what) {
  Fail("std::out_of_range", what);
}
// The format's arguments are left out: the reason is in its text.
void __throw_out_of_range_fmt(const char* format, ...) {
  Fail("std::out_of_range", format);
}
void __throw_runtime_error(const char* what) {
  Fail("std::runtime_error", what);
}
void __throw_range_error(const char* what) {
  Fail("std::range_error", what);
}
void __throw_overflow_error(const char* what) {
  Fail("std::overflow_error", what);
}
void __throw_underflow_error(const char* what) {
  Fail("std::underflow_error", what);
}
void __throw_bad_function_call() {
  Fail("std::bad_function_call", nullptr);
}

}  // namespace std
