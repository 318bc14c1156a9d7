#include "FuzzTarget.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <vector>

// Runs saved inputs through a fuzz target without libFuzzer, so that any
// compiler and any sanitizer build can replay the corpus.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace {

std::vector<std::filesystem::path> Inputs(const std::filesystem::path &Where)
{
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(Where)) {
        for (const auto &entry : std::filesystem::directory_iterator(Where))
            if (entry.is_regular_file())
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
    } else if (std::filesystem::is_regular_file(Where)) {
        files.push_back(Where);
    }
    return files;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::cerr << "usage: " << argv[0] << " corpus-directory-or-file...\n";
        return 2;
    }
    if (LLVMFuzzerInitialize != nullptr)
        LLVMFuzzerInitialize(&argc, &argv);

    for (int i = 1; i < argc; ++i) {
        const auto files = Inputs(argv[i]);
        // An empty or mistyped corpus path must not pass as a clean replay.
        if (files.empty()) {
            std::cerr << argv[i] << ": no inputs\n";
            return 1;
        }
        for (const auto &file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<char> bytes {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            // A vector's spare capacity would hide a read past the input.
            const auto input = std::make_unique<std::uint8_t[]>(bytes.size());
            std::copy(bytes.begin(), bytes.end(), input.get());
            std::cerr << "replaying " << file.string() << " (" << bytes.size() << " bytes)\n";
            LLVMFuzzerTestOneInput(input.get(), bytes.size());
        }
        std::cout << argv[i] << ": " << files.size() << " inputs replayed\n";
    }
    return 0;
}
