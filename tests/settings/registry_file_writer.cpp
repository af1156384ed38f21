// Helper for the two-writer test: writes count values named <prefix><i> into the user file
// given, through clsRegEdit and the file store, as a second process would.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "settings/RegistryFileStore.h"
#include "settings/clsRegEdit.h"

namespace {

class StderrReporter final : public tavrino::ErrorReporter {
public:
    void ShowErrorReport(int location, std::int32_t number,
                         const std::string& description) override {
        std::fprintf(stderr, "report %d %d %s\n", location, number, description.c_str());
        ++failures;
    }
    int failures = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: registry_file_writer FILE PREFIX COUNT\n");
        return 2;
    }
    tavrino::RegistryFileOptions options;
    options.userFile = argv[1];
    options.lockTimeout = std::chrono::milliseconds(20000);
    tavrino::RegistryFileStore store(options);
    StderrReporter reporter;
    tavrino::clsRegEdit reg(store, reporter);
    reg.SetTopHKey(tavrino::reg::CurrentUser);
    reg.SetKeyName("Control Panel\\desktop");
    const std::string prefix = argv[2];
    const int count = std::atoi(argv[3]);
    for (int i = 0; i < count; ++i) {
        const std::string name = prefix + std::to_string(i);
        reg.SetValueName(name);
        if (!reg.RegistryWriteString("value " + name)) {
            ++reporter.failures;
        }
    }
    return reporter.failures == 0 ? 0 : 1;
}
