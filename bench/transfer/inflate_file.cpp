// Driver for bench/gzip_vs_gzip.sh: inflates one gzip file into an output file with
// InflateGzipFile and prints the seconds it took.
#include <chrono>
#include <cstdio>

#include "transfer/gzip_inflate.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <source.gz> <output>\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    tellweir::TransferResult r;
    {
        tellweir::CFileInflateSink sink(argv[2]);
        r = tellweir::InflateGzipFile(argv[1], sink);
    }  // the sink's destruction writes the last buffer and closes the output
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%.3f\n", elapsed.count());
    return r == 0 ? 0 : 1;
}
