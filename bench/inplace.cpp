// A baseline for zentil: replaces every file in place as simply as it can be done safely, without
// the cipher: read it, write a temporary file beside it through zentil's own Output (large files
// straight to the disk), flush that, rename it over the original and flush the folder, on one
// thread per core.
// Usage: inplace <folder>
#include "cipher/output.h"

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

static void copy(int in, int out) {
    ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
    std::vector<unsigned char> buffer(64 * 1024);
    zentil::Output output(out);
    ssize_t n;
    while ((n = read(in, buffer.data(), buffer.size())) > 0)
        if (!output.write(buffer.data(), n))
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
    if (argc != 2)
        return 2;
    std::vector<fs::path> files;
    for (const auto &entry : fs::recursive_directory_iterator(argv[1]))
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
