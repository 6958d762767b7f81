#include "run/SetupOptions.h"

#include <cctype>

namespace
{
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}
} // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine)
{
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (const char c : commandLine)
    {
        if (c == '"')
        {
            quoted = !quoted;
            inArgument = true;
        }
        else if (IsBlank(c) && !quoted)
        {
            if (inArgument)
                arguments.push_back(current);
            current.clear();
            inArgument = false;
        }
        else
        {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        arguments.push_back(current);
    // The program's own name comes first.
    if (!arguments.empty())
        arguments.erase(arguments.begin());
    return arguments;
}

namespace
{
// The command line after its first argument (the program's name, quoted or
// not) and the blanks after it.
std::string ArgumentsOf(const std::string& commandLine)
{
    size_t i = 0;
    bool quoted = false;
    while (i < commandLine.size() && (quoted || !IsBlank(commandLine[i])))
    {
        if (commandLine[i] == '"')
            quoted = !quoted;
        ++i;
    }
    while (i < commandLine.size() && IsBlank(commandLine[i]))
        ++i;
    return commandLine.substr(i);
}
} // namespace

SetupOptions ParseCommandLine(const std::string& commandLine)
{
    SetupOptions options;
    options.arguments = ArgumentsOf(commandLine);
    for (const std::string& argument : SplitCommandLine(commandLine))
    {
        const bool isSwitch = argument.size() > 1 && (argument[0] == '/' || argument[0] == '-');
        const std::string name = isSwitch ? Upper(argument.substr(1, argument.find('=') - 1)) : std::string();
        const bool hasValue = argument.find('=') != std::string::npos;
        const std::string value = hasValue ? argument.substr(argument.find('=') + 1) : std::string();
        if (name == "S" && !hasValue)
            options.silent = true;
        else if (name == "PASSIVE" && !hasValue)
            options.silent = options.passive = true;
        else if (name == "UNINSTALL" && !hasValue)
            options.uninstall = true;
        else if (name == "NORESTART" && !hasValue)
            options.noRestart = true;
        else if (name == "?" && !hasValue)
            options.help = true;
        else if (name == "DIR" && hasValue && !value.empty())
        {
            options.hasDir = true;
            options.dir = value;
        }
        else if (name == "LOG" && hasValue && !value.empty())
        {
            options.hasLog = true;
            options.log = value;
        }
        else if (options.unknown.empty())
            options.unknown = argument;
    }
    return options;
}
