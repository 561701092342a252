// Runs every kernel test; exits with 1 when a check failed or a test threw.
#include "kernel_test.h"

#include <cstdio>
#include <exception>

int main() {
    for (const kernel_test::Case& test : kernel_test::cases()) {
        const int before = kernel_test::failures();
        try {
            test.run();
        } catch (const std::exception& error) {
            kernel_test::fail(test.name, 0, error.what());
        } catch (...) {
            kernel_test::fail(test.name, 0, "an exception left the test");
        }
        std::printf("%-48s %s\n", test.name, kernel_test::failures() == before ? "ok" : "FAILED");
    }
    std::printf("%zu tests, %d failed checks\n", kernel_test::cases().size(),
                kernel_test::failures());
    return kernel_test::failures() == 0 ? 0 : 1;
}
