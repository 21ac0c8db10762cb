// Times Sha1HexDigest over a 64 MiB buffer and prints the best speed of several runs in MB/s
// (10^6 bytes per second), as `openssl speed` counts. VANTREL_SHA_EXTENSIONS=off in the
// environment times the portable code.
#include "app/cpu_features.h"
#include "app/sha1.h"

#include <chrono>
#include <cstdio>
#include <string>

int main() {
    const size_t size = size_t{64} << 20;
    std::string buffer(size, '\0');
    uint32_t x = 2463534242u;
    for (char& c : buffer) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    double best = 0;
    std::string digest;
    for (int run = 0; run < 7; ++run) {
        auto start = std::chrono::steady_clock::now();
        digest = Sha1HexDigest(buffer);
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::max(best, static_cast<double>(size) / took.count() / 1e6);
    }
    std::printf("%.0f MB/s (SHA extensions %s) %s\n", best, UseShaExtensions() ? "on" : "off",
                digest.c_str());
    return 0;
}
