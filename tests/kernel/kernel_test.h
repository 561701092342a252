// The kernel tests' harness: KERNEL_TEST(name) registers a test, CHECK(condition) reports a
// failure with its file and line, CHECK_THROWS(Exception, statement) checks that the statement
// throws that exception. main.cpp runs every registered test.
#pragma once

#include <cstdio>
#include <vector>

namespace kernel_test {

struct Case {
    const char* name;
    void (*run)();
};

inline std::vector<Case>& cases() {
    static std::vector<Case> all;
    return all;
}

inline int& failures() {
    static int count = 0;
    return count;
}

struct Registration {
    Registration(const char* name, void (*run)()) { cases().push_back({name, run}); }
};

inline void fail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: failed: %s\n", file, line, what);
    ++failures();
}

} // namespace kernel_test

#define KERNEL_TEST(name)                                                                          \
    static void name();                                                                            \
    static const kernel_test::Registration name##Registration(#name, name);                        \
    static void name()

#define CHECK(...) ((__VA_ARGS__) ? void() : kernel_test::fail(__FILE__, __LINE__, #__VA_ARGS__))

#define CHECK_THROWS(Exception, ...)                                                               \
    do {                                                                                           \
        bool thrown = false;                                                                       \
        try {                                                                                      \
            __VA_ARGS__;                                                                           \
        } catch (const Exception&) {                                                               \
            thrown = true;                                                                         \
        }                                                                                          \
        CHECK(thrown&& #Exception);                                                                \
    } while (false)
