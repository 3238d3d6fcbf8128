#include "common/command_options.h"

#include <algorithm>

namespace kt57 {

namespace {

constexpr CommandOption everyProgramAnswers[] = {
    {"-h, --help", nullptr, "print this help and exit", nullptr, nullptr},
    {"--version", nullptr, "print the version and exit", nullptr, nullptr},
};

std::string spelled(const CommandOption& option) {
    std::string text = option.name;
    if (option.value != nullptr) text += std::string(" ") + option.value;
    return text;
}

}  // namespace

std::string usageLine(const CommandLine& line) {
    std::string text = std::string("usage: ") + line.program;
    for (const CommandOption& option : line.options) text += " [" + spelled(option) + "]";
    if (*line.operands != '\0') text += std::string(" ") + line.operands;
    return text + '\n';
}

std::string usageText(const CommandLine& line) {
    std::string text = usageLine(line);

    size_t width = 0;
    for (const CommandOption& option : line.options) width = std::max(width, spelled(option).size());
    for (const CommandOption& option : everyProgramAnswers) width = std::max(width, spelled(option).size());
    const auto list = [&](std::span<const CommandOption> options) {
        for (const CommandOption& option : options) {
            const std::string name = spelled(option);
            text += "  " + name + std::string(width - name.size() + 3, ' ') + option.meaning;
            if (option.rule != nullptr) text += std::string(": ") + option.rule;
            if (option.defaultValue != nullptr) text += std::string("; default ") + option.defaultValue;
            text += '\n';
        }
    };
    list(line.options);
    list(everyProgramAnswers);
    return text + line.notes;
}

const CommandOption* findOption(const CommandLine& line, std::string_view name) {
    for (const CommandOption& option : line.options) {
        if (name == option.name) return &option;
    }
    return nullptr;
}

std::string badValue(const CommandOption& option, std::string_view value) {
    std::string text = std::string("bad ") + option.name + " '" + std::string(value) + "'";
    if (option.rule != nullptr) text += std::string(": ") + option.rule;
    return text;
}

bool isHelpOption(std::string_view argument) { return argument == "-h" || argument == "--help"; }

}  // namespace kt57
