// Times Sha1HexDigest over a 64 MiB buffer as `openssl speed -bytes 67108864 -seconds 2` times
// OpenSSL: digests one after another for about two seconds of the process's user CPU time, then
// the bytes per user CPU second over all of them, in MB/s (10^6 bytes per second). Counting CPU
// time rather than wall time keeps other processes on a shared machine out of the figure.
// VANTREL_SHA_EXTENSIONS=off in the environment times the portable code.
#include "core/cpu_features.h"
#include "core/sha1.h"

#include <cstdio>
#include <string>
#include <sys/resource.h>

namespace {

double UserSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec) / 1e6;
}

} // namespace

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
    std::string digest;
    size_t bytes = 0;
    const double start = UserSeconds();
    double took = 0;
    while (took < 2.0) {
        digest = Sha1HexDigest(buffer);
        bytes += size;
        took = UserSeconds() - start;
    }
    double speed = static_cast<double>(bytes) / took / 1e6;
    std::printf("%.0f MB/s (SHA extensions %s) %s\n", speed, UseShaExtensions() ? "on" : "off",
                digest.c_str());
    return 0;
}
