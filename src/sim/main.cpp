// vantrel-sim: a virtual amplifier to point the tool or the command-line client at.

#include <pthread.h>
#include <signal.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/CDSPSocket.h"
#include "sim/VirtualAmplifier.h"

// The build passes the project's version; a build that does not says so instead of guessing.
#ifndef VANTREL_VERSION
#define VANTREL_VERSION "(version unknown)"
#endif

namespace {

using vantrel::sim::Fault;
using vantrel::sim::SimOptions;
using vantrel::sim::VirtualAmplifier;

constexpr int kExitBadUsage = 2;

constexpr const char* kUsage =
    "usage: vantrel-sim [options]\n"
    "  --bind ADDRESS          address to listen on (default 127.0.0.1)\n"
    "  --port N                TCP port, 0 picks a free one (default 58000)\n"
    "  --channels N            channel code in the identity (default 4)\n"
    "  --model N               model code (default 3)\n"
    "  --mcu MAIN.SUB          MCU firmware version (default 1.5)\n"
    "  --dsp MAIN.SUB          DSP firmware version (default 1.0)\n"
    "  --family XY             two family letters, e.g. QV or GM (default QV)\n"
    "  --voltage VOLTS         supply voltage, 0 to 25.5 (default 12.4)\n"
    "  --temperature CELSIUS   amplifier temperature (default about 45)\n"
    "  --runtime MINUTES       running time (default 1230)\n"
    "  --protection on|off     protection state (default off)\n"
    "  --fault COMMAND:FAULT[:COUNT]\n"
    "                          misbehave on COMMAND (identify, status, write-params,\n"
    "                          write-memory, read-memory, load-setup, set-level,\n"
    "                          update-done, write-firmware, any, or a byte like 0x03)\n"
    "                          with FAULT (stray, bad-check, bad-end, no-reply,\n"
    "                          close-mid-reply, zero-length, error-status, wrong-echo,\n"
    "                          stall, trickle),\n"
    "                          COUNT times or for good when omitted; repeatable\n"
    "  --refuse K              reset the first K connections\n"
    "  --verbose               log every request on standard error\n"
    "  --help                  show this help\n"
    "  --version               show the version\n";

struct FaultSpec {
    std::uint8_t command;
    Fault fault;
    int count;
};

struct Arguments {
    SimOptions options;
    std::vector<FaultSpec> faults;
    int refuse = 0;
    bool help = false;
    bool version = false;
};

template <typename T>
bool ParseInteger(std::string_view text, T min, T max, T& out) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max) {
        return false;
    }
    out = value;
    return true;
}

bool ParseByte(std::string_view text, std::uint8_t& out) {
    return ParseInteger<std::uint8_t>(text, 0, 255, out);
}

// "1.5" is main 1, sub 5; a bare "2" is 2.0.
bool ParseVersion(std::string_view text, std::uint8_t& main, std::uint8_t& sub) {
    const auto dot = text.find('.');
    if (dot == std::string_view::npos) {
        sub = 0;
        return ParseByte(text, main);
    }
    return ParseByte(text.substr(0, dot), main) && ParseByte(text.substr(dot + 1), sub);
}

std::optional<double> ParseNumber(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// The tool's reading of the raw temperature byte (an NTC divider on a 3.3 V converter).
double CelsiusForRaw(std::uint8_t raw) {
    const double t = static_cast<std::int8_t>(raw);
    const double v = t / 255.0 * 3.3;
    if (v <= 0) return 0;
    const double r = (75000.0 - v * 15000.0) / v / 100000.0;
    return 1.0 / (std::log(r) / 3950.0 + 0.003355704697986577) - 273.0;
}

// The raw byte 1..127 the tool reads closest to `celsius` (about -45 to 54 C are reachable).
std::uint8_t RawForCelsius(double celsius) {
    std::uint8_t best = 1;
    for (int raw = 1; raw <= 127; ++raw) {
        const auto candidate = static_cast<std::uint8_t>(raw);
        if (std::fabs(CelsiusForRaw(candidate) - celsius) <
            std::fabs(CelsiusForRaw(best) - celsius)) {
            best = candidate;
        }
    }
    return best;
}

bool ParseCommand(std::string_view text, std::uint8_t& command) {
    static constexpr struct {
        const char* name;
        std::uint8_t command;
    } kCommands[] = {
        {"write-params", vantrel::CMD_WRITE_PARAMS},
        {"identify", vantrel::CMD_IDENTIFY},
        {"status", vantrel::CMD_READ_STATUS},
        {"write-memory", vantrel::CMD_WRITE_MEMORY},
        {"read-memory", vantrel::CMD_READ_MEMORY},
        {"load-setup", vantrel::CMD_LOAD_SETUP},
        {"set-level", vantrel::CMD_SET_LEVEL},
        {"update-done", vantrel::CMD_UPDATE_DONE},
        {"write-firmware", vantrel::CMD_WRITE_FIRMWARE},
        {"any", 0xFF},
    };
    for (const auto& entry : kCommands) {
        if (text == entry.name) {
            command = entry.command;
            return true;
        }
    }
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::uint8_t value = 0;
        const auto digits = text.substr(2);
        const auto [end, ec] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
        if (ec == std::errc() && end == digits.data() + digits.size()) {
            command = value;
            return true;
        }
    }
    return false;
}

bool ParseFault(std::string_view text, FaultSpec& spec) {
    const auto first = text.find(':');
    if (first == std::string_view::npos) return false;
    const auto second = text.find(':', first + 1);
    const std::string faultName(text.substr(
        first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1));
    spec.count = -1;
    if (second != std::string_view::npos &&
        !ParseInteger(text.substr(second + 1), 1, std::numeric_limits<int>::max(), spec.count)) {
        return false;
    }
    return ParseCommand(text.substr(0, first), spec.command) &&
           vantrel::sim::ParseFaultName(faultName, spec.fault);
}

// Returns an error message, or nothing when the arguments are good.
std::optional<std::string> ParseArguments(int argc, char** argv, Arguments& args) {
    SimOptions& o = args.options;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = option.find('=');
            option.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = option.substr(eq + 1);
            option.resize(eq);
        }
        if (option == "--help" || option == "-h") {
            args.help = true;
            continue;
        }
        if (option == "--version") {
            args.version = true;
            continue;
        }
        if (option == "--verbose") {
            o.verbose = true;
            continue;
        }
        static constexpr const char* kValued[] = {
            "--bind",       "--port",   "--channels", "--model",       "--mcu",
            "--dsp",        "--family", "--voltage",  "--temperature", "--runtime",
            "--protection", "--fault",  "--refuse"};
        bool known = false;
        for (const char* name : kValued) known = known || option == name;
        if (!known) return "unknown option '" + option + "' (try --help)";
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            return "missing value for " + option;
        }
        auto bad = [&](const char* expected) {
            return "bad value '" + value + "' for " + option + " (expected " + expected + ")";
        };

        if (option == "--bind") {
            if (value.empty()) return bad("an IPv4 address or host name");
            o.bindAddress = value;
        } else if (option == "--port") {
            if (!ParseInteger<std::uint16_t>(value, 0, 65535, o.port)) return bad("0 to 65535");
        } else if (option == "--channels") {
            if (!ParseByte(value, o.channels)) return bad("0 to 255");
        } else if (option == "--model") {
            if (!ParseByte(value, o.model)) return bad("0 to 255");
        } else if (option == "--mcu") {
            if (!ParseVersion(value, o.mcuMain, o.mcuSub)) return bad("MAIN.SUB, each 0 to 255");
        } else if (option == "--dsp") {
            if (!ParseVersion(value, o.dspMain, o.dspSub)) return bad("MAIN.SUB, each 0 to 255");
        } else if (option == "--family") {
            const bool letters = value.size() == 2 &&
                                 std::isalpha(static_cast<unsigned char>(value[0])) &&
                                 std::isalpha(static_cast<unsigned char>(value[1]));
            if (!letters) return bad("two letters such as QV or GM");
            o.family = value;
        } else if (option == "--voltage") {
            const auto volts = ParseNumber(value);
            if (!volts || *volts < 0 || *volts > 25.5) return bad("0 to 25.5 volts");
            o.voltage = static_cast<std::uint8_t>(std::lround(*volts * 10));
        } else if (option == "--temperature") {
            const auto celsius = ParseNumber(value);
            if (!celsius) return bad("degrees Celsius");
            o.temperature = RawForCelsius(*celsius);
        } else if (option == "--runtime") {
            if (!ParseInteger<std::uint32_t>(value, 0, std::numeric_limits<std::uint32_t>::max(),
                                             o.runtimeMinutes)) {
                return bad("minutes, 0 to 4294967295");
            }
        } else if (option == "--protection") {
            if (value != "on" && value != "off") return bad("on or off");
            o.protection = value == "on" ? 1 : 0;
        } else if (option == "--fault") {
            FaultSpec spec{};
            if (!ParseFault(value, spec)) return bad("COMMAND:FAULT[:COUNT], see --help");
            args.faults.push_back(spec);
        } else if (option == "--refuse") {
            if (!ParseInteger(value, 0, std::numeric_limits<int>::max(), args.refuse)) {
                return bad("a count of connections");
            }
        }
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (const auto error = ParseArguments(argc, argv, args)) {
        std::fprintf(stderr, "vantrel-sim: %s\n", error->c_str());
        return kExitBadUsage;
    }
    if (args.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.version) {
        std::puts("vantrel-sim " VANTREL_VERSION);
        return 0;
    }

    // The signals are taken by sigwait below; blocked before the server thread starts so that it
    // inherits the mask and never runs a handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    VirtualAmplifier amplifier(args.options);
    for (const FaultSpec& spec : args.faults)
        amplifier.InjectFault(spec.command, spec.fault, spec.count);
    if (args.refuse > 0) amplifier.RefuseConnections(args.refuse);

    std::string error;
    if (!amplifier.Start(&error)) {
        std::fprintf(stderr, "vantrel-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("vantrel-sim listening on %s:%u\n", args.options.bindAddress.c_str(),
                static_cast<unsigned>(amplifier.Port()));
    std::fflush(stdout);

    int received = 0;
    while (sigwait(&stopSignals, &received) != 0) {
    }
    amplifier.Stop();
    return 0;
}
