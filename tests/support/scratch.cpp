#include <algorithm>
#include <atomic>
#include <random>

#include "support/process.hpp"

namespace velor::testing {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(const std::string& tag) {
    // A random number per test program keeps programs run side by side apart.
    static const std::string program = std::to_string(std::random_device{}());
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() / ("velor-test-" + tag + "-" + program + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

std::vector<std::string> ScratchFolder::names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace velor::testing
