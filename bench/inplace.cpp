// A baseline for zentil: replaces every file in place as simply as it can be done safely, without
// the cipher: read it, write a temporary file beside it through zentil's own Output (large files
// straight to the disk), flush that, rename it over the original and flush the folder, as the
// shared FileReplacement does, on one thread per core.
// Usage: inplace <folder>
#include "cipher/output.h"
#include "common/filereplacement.h"

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
    const Fd folder(open(file.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const Fd in(open(file.c_str(), O_RDONLY | O_CLOEXEC));
    FileReplacement out(folder.get(), file.filename(), [n = 0]() mutable {
        return ".~inplace-" + std::to_string(gettid()) + "-" + std::to_string(n++);
    });
    copy(in.get(), out.fd());
    if (!out.commitDurably())
        std::perror("replace");
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
