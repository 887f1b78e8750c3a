// Reading the configuration file.
#include "config/configuration.hpp"

#include "config/console_texts.hpp"
#include "config/text_helpers.hpp"
#include "runtime/io_error.hpp"
#include "runtime/standard_files.hpp"
#include "runtime/text_file.hpp"

void ShowUsage() { throw RunStop{{text::kUsage.begin(), text::kUsage.end()}, true}; }

Program LocateProgram(std::string_view programPath) {
    const std::size_t slash = programPath.rfind('\\');
    // A path without any "\" is all file name, in the current directory.
    const std::string_view fileName = slash == std::string_view::npos ? programPath : programPath.substr(slash + 1);
    const std::string_view directory = slash == std::string_view::npos ? std::string_view(".") : programPath.substr(0, slash);
    Program program;
    program.ProgramDir = BoundedString(directory);
    program.ConfigName = Join(fileName.substr(0, fileName.find('.')), ".CFG");
    return program;
}

namespace {

// The configuration and list files are only read: readable is enough.
constexpr platform::Access kReadOnly = platform::Access::Read;

BoundedString ChooseConfigFile(const CommandLine& args, const Program& program, Settings& settings) {
    const BoundedString first = args.ArgAt(1);
    if (FindText("/c:", first.View()) > 0 || FindText("/C:", first.View()) > 0) {
        if (args.ArgCount() == 1) ShowUsage();
        const BoundedString path = CopyText(first.View(), 4, 255);
        if (!FileExists(path.View(), kReadOnly)) StopRunNaming(text::kUnableToOpen, path.View());
        settings.FirstItemIndex = 2;
        return path;
    }
    const BoundedString beside = Join(program.ProgramDir.View(), "\\", program.ConfigName.View());
    if (FileExists(beside.View(), kReadOnly)) return beside;
    const BoundedString fallback = Join(program.ProgramDir.View(), "\\tolvex.cfg");
    if (FileExists(fallback.View(), kReadOnly)) return fallback;
    StopRunNaming(text::kUnableToOpen, "tolvex.cfg");
}

// The line without its first `count` characters, whatever they are.
BoundedString ValueAfter(BoundedString line, int count) {
    DeleteText(line, 1, count);
    return line;
}

void AddZone(const BoundedString& value, Settings& settings) {
    if (static_cast<int>(settings.ZoneTable.size()) == kZoneCapacity) StopRun(text::kTooManyZones);
    ZoneEntry entry;
    const std::string_view v = value.View();
    const std::size_t blank = v.find(' ');
    entry.ZoneNumber = v.substr(0, blank);
    if (blank != std::string_view::npos) entry.ZoneDir = v.substr(blank + 1);
    settings.ZoneTable.push_back(entry);
}

}  // namespace

bool ApplyConfigLine(BoundedString line, Settings& settings, ActivityLog& log) {
    if (!line.Empty() && line.First() == ';') return true;
    line = UpperCase(line);
    const std::string_view v = line.View();
    if (FindText("COMPLETE.", v) > 0) return false;
    if (FindText("LOG ", v) > 0) {
        OpenLog(log, StripSpaces(ValueAfter(line, 4)).View());
    } else if (FindText("DEFAULTNET ", v) > 0) {
        settings.DefaultNet = StripSpaces(ValueAfter(line, 11));
    } else if (FindText("DEFAULTNODE ", v) > 0) {
        const BoundedString node = NormalizeLine(ValueAfter(line, 12));
        settings.DefaultNode = node;
        settings.DefaultNodeTooLong = node.Length() > settings.DefaultNode.kCapacity;
    } else if (FindText("OUTBOUND ", v) > 0 && line.First() == 'O') {
        settings.Outbound = StripSpaces(ValueAfter(line, 9));
        settings.OutboundSet = true;
    } else if (FindText("DEFAULTOUTBOUND ", v) > 0) {
        settings.DefaultOutbound = StripSpaces(ValueAfter(line, 16));
    } else if (FindText("CHECKDUPES ", v) > 0) {
        if (StripSpaces(ValueAfter(line, 11)) == "YES") settings.CheckDupes = true;
    } else if (FindText("CREATECLO ", v) > 0) {
        if (StripSpaces(ValueAfter(line, 10)) == "YES") settings.CreateClo = true;
    } else if (FindText("ZONE ", v) > 0) {
        AddZone(NormalizeLine(ValueAfter(line, 5)), settings);
    }
    return true;
}

Settings LoadConfiguration(const CommandLine& args, const Program& program, ActivityLog& log) {
    Settings settings;
    const BoundedString path = ChooseConfigFile(args, program, settings);
    settings.ConfigPath = path;
    TextFile config(path.View());
    config.OpenRead();
    if (config.TakeByteOrderMark() == TextFile::Encoding::Utf16)
        StopRunNaming(text::kUtf16Before, path.View(), text::kUtf16After);
    while (!config.AtEnd())
        if (!ApplyConfigLine(config.ReadLine(), settings, log)) break;
    // A configuration that could not be read to its end would run the job on
    // half its settings.
    const bool readFailed = TakeIoError() != 0;
    if (config.IsOpen()) config.Close();
    TakeIoError();
    if (readFailed) StopRunNaming(text::kUnableToOpen, path.View());
    // Cut to its 30 characters, the value would name other nodes.
    if (settings.DefaultNodeTooLong) StopRun(text::kDefaultNodeTooLong);
    if (!settings.Outbound.Empty() && settings.Outbound.Last() == '\\')
        DeleteText(settings.Outbound, settings.Outbound.Length(), 1);
    return settings;
}

void CheckDefaultNode(const CommandLine& args, const Settings& settings) {
    if (args.ArgCount() == settings.FirstItemIndex && !(args.ArgAt(settings.FirstItemIndex) == "/") &&
        settings.DefaultNode.Empty())
        StopRun(text::kNoDefaultNode);
}
