// The physical limit of replacing files in place atomically, for comparison with zentil: for
// every file, read it, write a temporary file beside it, flush that, rename it over the
// original and flush the folder. The same work as zentil without the cipher, on as many threads,
// writing through zentil's own Output (large files straight to the disk). With --buffered it
// writes everything through the page cache instead, for reference.
// Usage: inplace [--buffered] <folder>
#include "cipher/output.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

static bool buffered = false;

static void copy(int in, int out) {
    ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
    std::vector<unsigned char> buffer(64 * 1024);
    zentil::Output output(out);
    ssize_t n;
    while ((n = read(in, buffer.data(), buffer.size())) > 0)
        if (buffered ? write(out, buffer.data(), n) != n : !output.write(buffer.data(), n))
            std::perror("write");
    if (!output.finish())
        std::perror("write");
}

static void replace(const fs::path &file) {
    const int in = open(file.c_str(), O_RDONLY);
    const std::string temporary =
        (file.parent_path() / ".~inplace-tmp").string() + std::to_string(gettid());
    const int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    copy(in, out);
    fsync(out);
    close(out);
    close(in);
    rename(temporary.c_str(), file.c_str());
    const int dir = open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY);
    fsync(dir);
    close(dir);
}

int main(int argc, char **argv) {
    buffered = argc == 3 && std::strcmp(argv[1], "--buffered") == 0;
    if (argc != 2 + buffered)
        return 2;
    std::vector<fs::path> files;
    for (const auto &entry : fs::recursive_directory_iterator(argv[argc - 1]))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::atomic<size_t> next{0};
    std::vector<std::thread> pool;
    for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); ++i)
        pool.emplace_back([&] {
            for (size_t k = next++; k < files.size(); k = next++)
                replace(files[k]);
        });
    for (auto &t : pool)
        t.join();
}
