// velor-gen: synthetic NAME.res + NAME.fcf pairs for tests, examples and benchmarks.

#include <iostream>
#include <string_view>
#include <vector>

#include "gen/generator.hpp"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return velor::gen::run(args, std::cout, std::cerr);
}
