// Replays kept inputs through a fuzz target without libFuzzer: every file
// named on the command line, and every file inside a directory named there,
// goes through LLVMFuzzerTestOneInput once, in name order. A property
// violation aborts the process, which fails the test that runs the replay.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace
{

void
replay(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // An exactly sized copy, so that a read past the input is caught under ASan.
    auto *copy = new uint8_t[bytes.size()];
    std::copy(bytes.begin(), bytes.end(), copy);
    LLVMFuzzerTestOneInput(copy, bytes.size());
    delete[] copy;
}

} // namespace

int
main(int argc, char **argv)
{
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path arg(argv[i]);
        if (!std::filesystem::is_directory(arg)) {
            files.push_back(arg);
            continue;
        }
        for (const auto &entry : std::filesystem::directory_iterator(arg))
            if (entry.is_regular_file())
                files.push_back(entry.path());
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s FILE_OR_DIR...: no input found\n", argv[0]);
        return 2;
    }
    std::sort(files.begin(), files.end());
    for (const auto &file : files)
        replay(file);
    std::printf("%zu inputs replayed\n", files.size());
    return 0;
}
