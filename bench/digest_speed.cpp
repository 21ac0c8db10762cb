// Times one digest through one compression path over a 1 MiB buffer as
// `openssl speed -bytes 1048576` times OpenSSL: digests one after another for about one second
// of the process's user CPU time, then the bytes per user CPU second over all of them, in MB/s
// (10^6 bytes per second).
//   digest_speed sha1|sha256 portable|ssse3|avx2|shani
// Prints "<MB/s> <digest> <path> <hex digest>"; exits with 3 where the processor lacks the path.
#include "core/cpu_features.h"
#include "core/digest_text.h"
#include "core/sha1.h"
#include "core/sha256.h"
#include "user_time.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

template <typename State, typename Blocks>
std::string Digest(void (*init)(State&), Blocks blocks, std::string_view message) {
    State state;
    init(state);
    ProcessPaddedMessage(state, message, blocks, PadMessageTail);
    return DigestText(state.H, static_cast<int>(sizeof(state.H) / sizeof(state.H[0])));
}

std::string DigestThrough(const std::string& digest, DigestPath path, std::string_view message) {
    if (digest == "sha1")
        return Digest(Sha1Init, Sha1BlocksThrough(path), message);
    return Digest(Sha256Init, Sha256BlocksThrough(path), message);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "sha1") != 0 && std::strcmp(argv[1], "sha256") != 0)) {
        std::fprintf(stderr, "usage: digest_speed sha1|sha256 portable|ssse3|avx2|shani\n");
        return 2;
    }
    const std::string digest = argv[1];
    const DigestPath* path = nullptr;
    for (const DigestPath& candidate : kDigestPaths)
        if (std::strcmp(argv[2], DigestPathName(candidate)) == 0)
            path = &candidate;
    if (path == nullptr || !ProcessorOffers(*path)) {
        std::fprintf(stderr, "digest_speed: no path %s on this processor\n", argv[2]);
        return 3;
    }
    const size_t size = size_t{1} << 20;
    std::string buffer(size, '\0');
    uint32_t x = 2463534242u;
    for (char& c : buffer) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    std::string result;
    size_t bytes = 0;
    const double start = UserSeconds();
    double took = 0;
    while (took < 1.0) {
        result = DigestThrough(digest, *path, buffer);
        bytes += size;
        took = UserSeconds() - start;
    }
    std::printf("%.0f %s %s %s\n", static_cast<double>(bytes) / took / 1e6, digest.c_str(), argv[2],
                result.c_str());
    return 0;
}
