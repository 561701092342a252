// What both grid benchmark programs share: the k x k grid of square faces (grid.h), a stopwatch
// that prints one line per operation, and the resident-memory reading. Output lines are
// tab-separated: "op <name> <seconds> <checksum>" and "memory <name> <bytes per dart>". Times are
// CPU time of the calling thread, so that other processes on a shared machine disturb them little.
#pragma once

#include "grid.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace bench {

// Peak resident memory of this process so far, in bytes.
inline std::uint64_t peakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
}

// Resident memory of this process now, in bytes.
inline std::uint64_t residentBytes() {
    unsigned long long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%llu %llu", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

class Report {
  public:
    Report() : baseline_(residentBytes()) {}

    // Times work() once and prints summarize(its result), summarized after the clock stops: a
    // string or any value std::to_string accepts.
    template <class Work, class Summarize>
    void measure(const char* name, Work&& work, Summarize&& summarize) {
        const double start = threadSeconds();
        const auto result = work();
        const double elapsed = threadSeconds() - start;
        std::printf("op\t%s\t%.6f\t%s\n", name, elapsed, text(summarize(result)).c_str());
        std::fflush(stdout);
    }
    // Times work() once; its result is the checksum.
    template <class Work> void measure(const char* name, Work&& work) {
        measure(name, work, [](const auto& result) { return result; });
    }

    // Prints the resident memory above the start-up baseline per dart, as it is now.
    void resident(const char* name, std::uint64_t darts) const {
        print(name, residentBytes(), darts);
    }
    // The same at the peak so far.
    void peakResident(const char* name, std::uint64_t darts) const {
        print(name, peakResidentBytes(), darts);
    }

  private:
    void print(const char* name, std::uint64_t bytes, std::uint64_t darts) const {
        std::printf("memory\t%s\t%.1f\n", name, double(bytes - baseline_) / double(darts));
        std::fflush(stdout);
    }
    static double threadSeconds() {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
    }
    static std::string text(const std::string& checksum) { return checksum; }
    template <class Number> static std::string text(Number checksum) {
        return std::to_string(checksum);
    }

    std::uint64_t baseline_;
};

// The grid size from the command line: `program k`.
inline std::uint32_t gridSize(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s k\n", argv[0]);
        std::exit(2);
    }
    return static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10));
}

// "a/b/c": several counts in one checksum.
template <class... Counts> std::string joined(std::uint64_t first, Counts... rest) {
    std::string text = std::to_string(first);
    ((text += "/" + std::to_string(rest)), ...);
    return text;
}

// Checksum of extracted geometry (vertices, faces, corners, a hash of the corner list): any
// type with `vertices` and `faces` (a list of vertex-number lists).
template <class Geometry> std::string geometryChecksum(const Geometry& geometry) {
    std::uint64_t corners = 0, hash = 0;
    for (const auto& face : geometry.faces)
        for (std::uint32_t v : face) {
            ++corners;
            hash = hash * 1000003 + v;
        }
    return joined(geometry.vertices.size(), geometry.faces.size(), corners, hash);
}

} // namespace bench
