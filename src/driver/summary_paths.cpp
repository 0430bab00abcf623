#include "driver/summary_paths.hpp"

#include "platform/failure.hpp"

namespace velor::driver {

std::string summary_clash(const std::vector<NamedFile>& run_files, const std::vector<NamedFile>& summaries) {
    const auto clash = [](const NamedFile& summary, const NamedFile& other, const std::string& what) {
        return "option " + summary.what + ": '" + summary.name + "' would replace '" + other.name + "', " + what;
    };
    for (std::size_t s = 0; s < summaries.size(); ++s) {
        const NamedFile& summary = summaries[s];
        for (const NamedFile& file : run_files)
            if (platform::same_file(summary.key, file.key)) return clash(summary, file, file.what);
        for (std::size_t t = 0; t < s; ++t)
            if (platform::same_file(summary.key, summaries[t].key))
                return clash(summary, summaries[t], "the file of option " + summaries[t].what);
    }
    return {};
}

void refuse_summary_clashes(const CommandLine& line, const input::FileNames& names) {
    std::vector<NamedFile> summaries;
    for (const auto& [option, name] : {std::pair{"--json", &line.json_file}, {"--cif", &line.cif_file},
                                       {"--html", &line.html_file}})
        if (!name->empty()) summaries.push_back({option, *name, platform::file_key(*name)});
    if (summaries.empty()) return;
    std::vector<NamedFile> run_files;
    for (const auto& [field, what] : {std::pair{&names.res, "the instruction file of the refinement"},
                                      {&names.fcf, "the reflection file of the refinement"},
                                      {&names.hkl, "the corrected data of this run"},
                                      {&names.ins, "the new instruction file of this run"},
                                      {&names.abs, "the report of this run"}}) {
        run_files.push_back({what, *field, platform::file_key(*field)});
    }
    if (std::string clash = summary_clash(run_files, summaries); !clash.empty())
        throw UsageError(std::move(clash));
}

}  // namespace velor::driver
