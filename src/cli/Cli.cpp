#include "cli/Cli.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>

#include "cli/CliExchange.h"
#include "cli/CliTransfer.h"
#include "link/AmpStatus.h"
#include "link/CDSPSocket.h"
#include "platform/DataFolder.h"
#include "platform/Settings.h"

// The build passes the project's version; a build that does not says so instead of guessing.
#ifndef VANTREL_VERSION
#define VANTREL_VERSION "(version unknown)"
#endif

namespace vantrel {

std::optional<unsigned long> ParseCliNumber(const std::string& text, unsigned long max) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str() || *end != '\0' || value > max) return std::nullopt;
    return value;
}

namespace {

constexpr const char* kUsage =
    "usage: vantrel-cli [--adaptor HOST[:PORT]] [--data-dir DIR] COMMAND [ARGS]\n"
    "       vantrel-cli --help | --version\n"
    "\n"
    "Talks to the amplifier through its WiFi adaptor, one transaction per command.\n"
    "The adaptor defaults to Server/IP and Port of INI/InitFile.dat in the data folder,\n"
    "else 127.0.0.1:58000.\n"
    "\n"
    "commands:\n"
    "  identify                 channel count, model code, firmware versions and family\n"
    "  status                   supply voltage, temperature, running time, protection\n"
    "  read ADDRESS COUNT       COUNT bytes of amplifier memory, as hex pairs\n"
    "  load-setup N             activate setup N (0..3)\n"
    "  set-level TARGET VALUE   level step of output TARGET (0..5), or 0xF0 for the noise killer\n"
    "  noise-killer VALUE       noise killer off (0) or on (255)\n"
    "  download PRESET [--yes] [--model-index K]\n"
    "                           identify, firmware checks, download all four setups and write\n"
    "                           them with the channel marks to the preset file PRESET\n"
    "  store PRESET [--activate N]\n"
    "                           store the preset's four setups in the amplifier, then activate\n"
    "                           setup N (default: the preset's current setup)\n"
    "  switch N                 switch the amplifier to setup N (0..3), paced as the window does\n"
    "  firmware-update --model-index K --yes\n"
    "                           install the delivered firmware for catalogue entry K\n"
    "  export PRESET SETUP CHANNEL rew|apo [OUTFILE]\n"
    "                           channel CHANNEL (0..5) of setup SETUP (0..3) of the preset file\n"
    "                           as Room EQ Wizard or Equalizer APO filter text\n"
    "  export PRESET SETUP camilladsp [OUTFILE]\n"
    "                           setup SETUP as a complete CamillaDSP configuration (YAML)\n"
    "  import PRESET SETUP CHANNEL FILE [--into points|bands] [--format rew|apo]\n"
    "                           the filters of FILE into the channel's custom points (default)\n"
    "                           or graphic bands and crossovers, rewriting PRESET; prints each\n"
    "                           line not used and each value limited\n"
    "  response PRESET SETUP CHANNEL [--points N]\n"
    "                           the channel's response as the amplifier runs it (48 kHz filters,\n"
    "                           output gain, delay as phase): N lines (default 61) of Hz, dB and\n"
    "                           phase in degrees from 20 Hz to 20 kHz; channels 0..3 only\n"
    "\n"
    "export writes to standard output without OUTFILE; export, import and response work on\n"
    "files only, never on the amplifier.\n"
    "import reads the format from FILE unless --format is given.\n"
    "\n"
    "Firmware offers are declined unless --yes is given; the device selection takes catalogue\n"
    "entry K of INI/DeviceModels.dat (0 = first) or is cancelled without --model-index.\n"
    "\n"
    "Numbers may be decimal or 0x-prefixed hex. Exit status: 0 success, 1 failure, 2 usage.\n";

constexpr std::uint32_t kDefaultPort = 58000;
constexpr std::uint32_t kShortReadTimeoutMs = 20000;
constexpr std::uint32_t kLongReadTimeoutMs = 150000;
constexpr std::uint32_t kLoadSetupTimeoutMs = 20000;

struct Adaptor {
    std::string host = "127.0.0.1";
    std::uint32_t port = kDefaultPort;
};

// The settings file the desktop tool would use, without creating a data folder for it.
std::optional<std::filesystem::path> FindSettingsFile(const std::optional<std::string>& dataDir) {
    std::optional<std::filesystem::path> explicitDir;
    if (dataDir) explicitDir = *dataDir;
    const auto folder = FindExistingDataFolder(DataFolderOptionsFromEnvironment(explicitDir));
    if (!folder) return std::nullopt;
    std::error_code ec;
    const std::filesystem::path file = SettingsFilePath(*folder);
    if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
    return file;
}

bool ParseAdaptor(const std::string& text, Adaptor& adaptor) {
    const auto colon = text.rfind(':');
    adaptor.host = text.substr(0, colon);
    if (colon != std::string::npos) {
        const auto port = ParseCliNumber(text.substr(colon + 1), 65535);
        if (!port || *port == 0) return false;
        adaptor.port = static_cast<std::uint32_t>(*port);
    }
    return !adaptor.host.empty();
}

std::string HexPairs(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    text.reserve(count * 3);
    char pair[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, i ? " %02x" : "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

class CliRun {
public:
    CliRun(std::ostream& out, std::ostream& err, Clock& clock)
        : m_out(out), m_err(err), m_clock(clock), m_socket(clock) {}

    int Run(const std::vector<std::string>& args) {
        std::optional<std::string> adaptorText;
        std::optional<std::string> dataDir;
        std::size_t i = 0;
        for (; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "--help" || a == "-h") {
                m_out << kUsage;
                return 0;
            }
            if (a == "--version") {
                m_out << "vantrel-cli " VANTREL_VERSION "\n";
                return 0;
            }
            if ((a == "--adaptor" || a == "--data-dir") && i + 1 < args.size()) {
                (a == "--adaptor" ? adaptorText : dataDir) = args[++i];
            } else if (a.rfind("--adaptor=", 0) == 0) {
                adaptorText = a.substr(10);
            } else if (a.rfind("--data-dir=", 0) == 0) {
                dataDir = a.substr(11);
            } else if (a.rfind("--", 0) == 0) {
                return Usage("unknown option " + a);
            } else {
                break;
            }
        }
        if (i == args.size()) return Usage("no command given");

        Adaptor adaptor;
        if (adaptorText) {
            if (!ParseAdaptor(*adaptorText, adaptor)) {
                return Usage("bad adaptor address '" + *adaptorText + "'");
            }
        } else if (const auto settingsFile = FindSettingsFile(dataDir)) {
            const AppSettings settings = ReadSettings(*settingsFile);
            if (!settings.adaptorAddress.empty()) adaptor.host = settings.adaptorAddress;
            adaptor.port = settings.adaptorPort;
        }
        m_adaptor = adaptor.host + ":" + std::to_string(adaptor.port);
        m_socket.SetAdaptor(adaptor.host, adaptor.port);

        const std::string& command = args[i];
        const std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                            args.end());
        if (IsExchangeCommand(command)) return RunExchangeCommand(command, rest, m_out, m_err);
        if (IsTransferCommand(command)) return Transfer(command, rest, adaptor, dataDir);
        if (command == "identify") return Expect(rest, 0, command) ? Identify() : 2;
        if (command == "status") return Expect(rest, 0, command) ? Status() : 2;
        if (command == "read") return Expect(rest, 2, command) ? Read(rest[0], rest[1]) : 2;
        if (command == "load-setup") return Expect(rest, 1, command) ? LoadSetup(rest[0]) : 2;
        if (command == "set-level") return Expect(rest, 2, command) ? SetLevel(rest[0], rest[1]) : 2;
        if (command == "noise-killer") return Expect(rest, 1, command) ? NoiseKiller(rest[0]) : 2;
        return Usage("unknown command '" + command + "'");
    }

private:
    int Transfer(const std::string& command, const std::vector<std::string>& rest,
                 const Adaptor& adaptor, const std::optional<std::string>& dataDir) {
        std::optional<std::filesystem::path> explicitDir;
        if (dataDir) explicitDir = *dataDir;
        std::string error;
        const auto folder = ResolveDataFolder(DataFolderOptionsFromEnvironment(explicitDir), &error);
        if (!folder) return Fail(command + ": " + error);
        TransferContext context;
        context.host = adaptor.host;
        context.port = adaptor.port;
        context.dataFolder = *folder;
        context.version = ReadSettings(SettingsFilePath(*folder)).versionRecord;
        context.clock = &m_clock;
        return RunTransferCommand(command, rest, context, m_out, m_err);
    }

    int Usage(const std::string& problem) {
        m_err << "vantrel-cli: " << problem << " (see vantrel-cli --help)\n";
        return 2;
    }

    bool Expect(const std::vector<std::string>& rest, std::size_t count, const std::string& command) {
        if (rest.size() == count) return true;
        Usage(command + " takes " + std::to_string(count) + " argument" + (count == 1 ? "" : "s"));
        return false;
    }

    int Fail(const std::string& text) {
        m_err << text << "\n";
        return 1;
    }

    std::string NoReply(const std::string& command) const {
        return command + ": no valid reply from the adaptor at " + m_adaptor;
    }

    int Identify() {
        std::uint8_t reply[8] = {};
        if (!m_socket.Identify(reply)) return Fail("Communication fail, please retry.");
        if (m_socket.LastReplyLength() != 8) {
            char text[96];
            std::snprintf(text, sizeof text, "identify: the amplifier answered with error status 0x%02x",
                          reply[0]);
            return Fail(text);
        }
        const IdentityRecord id = DecodeIdentity(reply);
        char text[128];
        std::snprintf(text, sizeof text, "channels=%u model=%u mcu=%u.%u dsp=%u.%u family=%c%c",
                      id.channelNum, id.modelCode, id.mcuMain, id.mcuSub, id.dspMain, id.dspSub,
                      Printable(id.family[0]), Printable(id.family[1]));
        m_out << text << "\n";
        if (id.channelNum == 0 && id.family[0] == 'G' && id.family[1] == 'M') {
            m_err << "note: the adaptor reports no link to the amplifier\n";
        }
        return 0;
    }

    static char Printable(char c) { return c >= 0x20 && c < 0x7F ? c : '?'; }

    int Status() {
        std::uint8_t reply[8] = {};
        if (!m_socket.ReadStatus(reply) || m_socket.LastReplyLength() != 8) {
            return Fail(NoReply("status"));
        }
        const StatusRecord status = DecodeStatus(reply);
        m_out << "voltage=" << FormatVoltage(status) << " temperature=" << FormatTemperature(status)
              << " running=" << FormatRunningTime(status)
              << " protection=" << (status.protection ? "on" : "off") << "\n";
        return 0;
    }

    int Read(const std::string& addressText, const std::string& countText) {
        const auto address = ParseCliNumber(addressText, 0xFFFF);
        const auto count = ParseCliNumber(countText, 0xFFFF - 4);
        if (!address) return Usage("read: ADDRESS must be 0..65535");
        if (!count || *count == 0) return Usage("read: COUNT must be 1..65531");
        if (*address + *count > 0x10000) return Usage("read: the range runs past address 65535");
        std::vector<std::uint8_t> bytes(*count);
        const std::uint32_t timeout = *count > 4096 ? kLongReadTimeoutMs : kShortReadTimeoutMs;
        if (!m_socket.ReadMemory(static_cast<std::uint16_t>(*address),
                                 static_cast<std::uint16_t>(*count), bytes.data(), timeout)) {
            return Fail(NoReply("read"));
        }
        m_out << HexPairs(bytes.data(), bytes.size()) << "\n";
        return 0;
    }

    int LoadSetup(const std::string& text) {
        const auto setup = ParseCliNumber(text, 3);
        if (!setup) return Usage("load-setup: N must be 0..3");
        if (!m_socket.LoadSetup(static_cast<std::uint8_t>(*setup), kLoadSetupTimeoutMs)) {
            return Fail("Load setup fail!");
        }
        m_out << "Load setup OK.\n";
        return 0;
    }

    int SetLevel(const std::string& targetText, const std::string& valueText) {
        const auto target = ParseCliNumber(targetText, 0xFF);
        const auto value = ParseCliNumber(valueText, 0xFF);
        if (!target || (*target > 5 && *target != kNoiseKillerTarget)) {
            return Usage("set-level: TARGET must be 0..5 or 0xF0");
        }
        if (!value) return Usage("set-level: VALUE must be 0..255");
        if (*target == kNoiseKillerTarget) return NoiseKillerValue(static_cast<std::uint8_t>(*value));
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "CH%lu ", *target + 1);
        if (!m_socket.SetLevel(static_cast<std::uint8_t>(*target), static_cast<std::uint8_t>(*value))) {
            return Fail(std::string(prefix) + "Set channel level fail.");
        }
        m_out << prefix << "Set channel level OK.\n";
        return 0;
    }

    int NoiseKiller(const std::string& text) {
        std::optional<unsigned long> value;
        if (text == "on") value = 255;
        else if (text == "off") value = 0;
        else value = ParseCliNumber(text, 0xFF);
        if (!value || (*value != 0 && *value != 255)) {
            return Usage("noise-killer: VALUE must be 0 (off) or 255 (on)");
        }
        return NoiseKillerValue(static_cast<std::uint8_t>(*value));
    }

    int NoiseKillerValue(std::uint8_t value) {
        if (!m_socket.SetLevel(kNoiseKillerTarget, value)) return Fail("Set Noise Killer fail!");
        m_out << "Set Noise Killer OK.\n";
        return 0;
    }

    std::ostream& m_out;
    std::ostream& m_err;
    Clock& m_clock;
    CDSPSocket m_socket;
    std::string m_adaptor;
};

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           Clock& clock) {
    CliRun run(out, err, clock);
    return run.Run(args);
}

}  // namespace vantrel
