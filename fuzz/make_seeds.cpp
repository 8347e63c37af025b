// make_seeds DIR: writes the seed databases into DIR (one file per seed, named after it).
#include "fuzz/SeedCorpus.h"

#include <filesystem>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_seeds DIR\n";
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    for (const auto& [name, write] : fzseeds::seeds()) {
        const std::string path = std::string(argv[1]) + "/" + name + ".mdb";
        write(path);
        std::cout << path << " " << std::filesystem::file_size(path) << " bytes\n";
    }
    return 0;
}
