// The command line: any arguments give options or a usage error with a message, never an
// exception; options that parse are consistent.

#include "FuzzSupport.hpp"
#include "cli/CliOptions.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::InputCursor in(data, size);
    std::vector<std::string> args;
    while (!in.empty() && args.size() < 32) {
        args.emplace_back(in.piece('\0'));
    }
    const auto parsed = CliArguments::parse(args);
    if (const auto* error = std::get_if<CliUsageError>(&parsed)) {
        FUZZ_CHECK(!error->message.empty());
        return 0;
    }
    const auto& options = std::get<CliOptions>(parsed);
    FUZZ_CHECK(!options.noPauses || options.simulated() || options.demo || options.help);
    FUZZ_CHECK(!options.waitSeconds || *options.waitSeconds >= 0);
    return 0;
}
