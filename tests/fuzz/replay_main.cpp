// Replays kept inputs through a fuzz target without libFuzzer: each file
// named, or inside a directory named, once in name order; then 2000 inputs
// made from them with a fixed seed (bytes flipped, inserted, dropped, inputs
// spliced). A violated property aborts, which fails the test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace
{

using Bytes = std::vector<uint8_t>;

void
replay(const Bytes &bytes)
{
    auto copy = std::make_unique<uint8_t[]>(bytes.size()); // exactly sized, for ASan
    std::copy(bytes.begin(), bytes.end(), copy.get());
    LLVMFuzzerTestOneInput(copy.get(), bytes.size());
}

Bytes
mutate(Bytes bytes, const Bytes &other, std::mt19937 &rng)
{
    for (int edits = 1 + rng() % 4; edits > 0; --edits) {
        size_t at = bytes.empty() ? 0 : rng() % bytes.size();
        unsigned edit = rng() % 4;
        if (edit == 0 && !bytes.empty())
            bytes[at] ^= static_cast<uint8_t>(1u << rng() % 8);
        else if (edit == 1)
            bytes.insert(bytes.begin() + at, static_cast<uint8_t>(rng()));
        else if (edit == 2 && !bytes.empty())
            bytes.erase(bytes.begin() + at);
        else if (edit == 3)
            bytes.insert(bytes.begin() + at, other.begin() + rng() % (other.size() + 1),
                         other.end());
    }
    return bytes;
}

} // namespace

int
main(int argc, char **argv)
{
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        if (!std::filesystem::is_directory(argv[i]))
            files.emplace_back(argv[i]);
        else
            for (const auto &entry : std::filesystem::directory_iterator(argv[i]))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s FILE_OR_DIR...: no input found\n", argv[0]);
        return 2;
    }
    std::sort(files.begin(), files.end());
    std::vector<Bytes> inputs;
    for (const auto &file : files) {
        std::ifstream in(file, std::ios::binary);
        inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        replay(inputs.back());
    }
    std::mt19937 rng(1);
    for (int i = 0; i < 2000; ++i)
        replay(mutate(inputs[rng() % inputs.size()], inputs[rng() % inputs.size()], rng));
    std::printf("%zu inputs replayed, 2000 generated\n", files.size());
    return 0;
}
