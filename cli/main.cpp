#include <iostream>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "cli/cli.h"

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // A batch parses each file on a worker thread of its own and frees its
    // rows on the main one. With glibc's adaptive thresholds the freed
    // blocks stay with the worker's arena, so memory grew with each big file
    // of a folder; a fixed threshold maps big blocks and gives them back.
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
#endif
    return tarvel::RunCli(argc, argv, std::cout, std::cerr);
}
