#include "cli/CliExchange.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <cmath>
#include <optional>
#include <ostream>

#include "cli/Cli.h"
#include "curves/ExactResponse.h"
#include "model/PresetFile.h"
#include "model/TuneExchange.h"
#include "platform/FileText.h"

namespace vantrel {

namespace {

// The response's frequencies: log-spaced over the audible range.
constexpr double kResponseLowHz = 20.0;
constexpr double kResponseHighHz = 20000.0;
constexpr unsigned long kDefaultResponsePoints = 61;  // sixth-octave steps
constexpr unsigned long kMaxResponsePoints = 100000;

struct Arguments {
    std::vector<std::string> positional;
    std::optional<std::string> points;
    std::optional<std::string> into;
    std::optional<std::string> format;
};

class Exchange {
public:
    Exchange(const std::string& command, std::ostream& out, std::ostream& err)
        : m_command(command), m_out(out), m_err(err) {}

    int Run(const std::vector<std::string>& args) {
        Arguments a;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            const bool into = arg == "--into" || arg.rfind("--into=", 0) == 0;
            const bool format = arg == "--format" || arg.rfind("--format=", 0) == 0;
            const bool points = arg == "--points" || arg.rfind("--points=", 0) == 0;
            if ((m_command == "import" && (into || format)) ||
                (m_command == "response" && points)) {
                std::optional<std::string>& field = points ? a.points : into ? a.into : a.format;
                const std::size_t equals = arg.find('=');
                if (equals != std::string::npos) {
                    field = arg.substr(equals + 1);
                } else if (i + 1 < args.size()) {
                    field = args[++i];
                } else {
                    return Usage(arg + " needs a value");
                }
            } else if (arg.rfind("--", 0) == 0) {
                return Usage("unknown option " + arg);
            } else {
                a.positional.push_back(arg);
            }
        }
        if (m_command == "response") return Response(a);
        return m_command == "export" ? Export(a.positional) : Import(a);
    }

private:
    int Usage(const std::string& problem) {
        m_err << "vantrel-cli: " << m_command << ": " << problem << " (see vantrel-cli --help)\n";
        return 2;
    }

    int Fail(const std::string& problem) {
        m_err << "vantrel-cli: " << m_command << ": " << problem << "\n";
        return 1;
    }

    bool Load(ParameterModel& model, const std::string& preset) {
        InitSetups(model);
        return LoadPresetFile(model, preset);
    }

    static std::string Title(const std::string& preset, int setup, std::optional<int> channel) {
        std::string title =
            std::filesystem::path(preset).filename().string() + ", setup " + std::to_string(setup);
        if (channel) title += ", channel " + std::to_string(*channel);
        return title;
    }

    int Export(const std::vector<std::string>& args) {
        const bool camilla = args.size() >= 3 && args[2] == "camilladsp";
        const std::size_t fixed = camilla ? 3 : 4;
        if (args.size() != fixed && args.size() != fixed + 1) {
            return Usage(
                "takes PRESET SETUP CHANNEL rew|apo [OUTFILE] or PRESET SETUP camilladsp "
                "[OUTFILE]");
        }
        const auto setup = ParseCliNumber(args[1], kSetupCount - 1);
        if (!setup) return Usage("SETUP must be 0..3");
        std::optional<unsigned long> channel;
        EqFileFormat format = EqFileFormat::Rew;
        if (!camilla) {
            channel = ParseCliNumber(args[2], kChannelCount - 1);
            if (!channel) return Usage("CHANNEL must be 0..5");
            if (args[3] == "apo") {
                format = EqFileFormat::Apo;
            } else if (args[3] != "rew") {
                return Usage("unknown format '" + args[3] + "' (rew, apo or camilladsp)");
            }
        }
        ParameterModel model;
        if (!Load(model, args[0])) return Fail("cannot read the preset file " + args[0]);
        const SetupRecord& record = model.Setups[*setup];
        const int s = static_cast<int>(*setup);
        const std::string text =
            camilla ? ExportCamillaDsp(record, EffectiveChannelCount(model), Title(args[0], s, {}))
                    : ExportChannelEq(record.Channels[*channel], format,
                                      Title(args[0], s, static_cast<int>(*channel)));
        if (args.size() == fixed) {
            m_out << text;
            return 0;
        }
        const std::string& outFile = args[fixed];
        if (!WriteFileAtomic(outFile, text)) return Fail("cannot write " + outFile);
        return 0;
    }

    // One channel's exact response: the 48 kHz filters the amplifier would run for the preset's
    // values, with output gain and delay, as "Hz dB degrees" lines.
    int Response(const Arguments& a) {
        const auto& args = a.positional;
        if (args.size() != 3) return Usage("takes PRESET SETUP CHANNEL [--points N]");
        const auto setup = ParseCliNumber(args[1], kSetupCount - 1);
        if (!setup) return Usage("SETUP must be 0..3");
        const auto channel = ParseCliNumber(args[2], kChannelCount - 1);
        if (!channel) return Usage("CHANNEL must be 0..5");
        const auto points = a.points ? ParseCliNumber(*a.points, kMaxResponsePoints)
                                     : std::optional(kDefaultResponsePoints);
        if (!points || *points < 2) return Usage("--points must be 2.." +
                                                 std::to_string(kMaxResponsePoints));
        ParameterModel model;
        if (!Load(model, args[0])) return Fail("cannot read the preset file " + args[0]);
        const ExactSetup exact =
            DecodeExactSetup(model.Setups[*setup], EffectiveChannelCount(model));
        if (static_cast<int>(*channel) >= exact.Count) {
            return Fail("channel " + std::to_string(*channel) +
                        " has no place in the amplifier's parameters (channels 0.." +
                        std::to_string(exact.Count - 1) + " with this preset)");
        }
        m_out << "# " << Title(args[0], static_cast<int>(*setup), static_cast<int>(*channel))
              << ": response at 48 kHz, output gain and delay included\n"
              << "# Hz dB phase_degrees\n";
        const double ratio = std::log(kResponseHighHz / kResponseLowHz);
        for (unsigned long i = 0; i < *points; ++i) {
            const double hz = kResponseLowHz * std::exp(ratio * static_cast<double>(i) /
                                                        static_cast<double>(*points - 1));
            const ExactValue v = ExactResponse(exact.Channels[*channel], hz);
            m_out << DecimalText(hz, 2) << ' ' << DecimalText(v.Db, 3) << ' '
                  << DecimalText(v.PhaseRad * 180.0 / 3.14159265358979323846, 2) << '\n';
        }
        return 0;
    }

    // The whole file, or nothing when it cannot be read or is too large to be an EQ file.
    std::optional<std::string> ReadEqFile(const std::string& path) {
        TextRead read = ReadTextFile(path, kMaxFilterFileBytes);
        if (!read.text) Fail(read.error);
        return std::move(read.text);
    }

    int Import(const Arguments& a) {
        const std::vector<std::string>& args = a.positional;
        if (args.size() != 4) return Usage("takes PRESET SETUP CHANNEL FILE [--into points|bands]");
        const auto setup = ParseCliNumber(args[1], kSetupCount - 1);
        if (!setup) return Usage("SETUP must be 0..3");
        const auto channel = ParseCliNumber(args[2], kChannelCount - 1);
        if (!channel) return Usage("CHANNEL must be 0..5");
        EqImportTarget target = EqImportTarget::Points;
        if (a.into && *a.into == "bands") {
            target = EqImportTarget::Bands;
        } else if (a.into && *a.into != "points") {
            return Usage("--into takes points or bands");
        }
        if (a.format && *a.format != "rew" && *a.format != "apo") {
            return Usage("--format takes rew or apo");
        }

        ParameterModel model;
        if (!Load(model, args[0])) return Fail("cannot read the preset file " + args[0]);
        const std::optional<std::string> text = ReadEqFile(args[3]);
        if (!text) return 1;
        const EqFileFormat format = !a.format            ? GuessEqFileFormat(*text)
                                    : *a.format == "apo" ? EqFileFormat::Apo
                                                         : EqFileFormat::Rew;
        ChannelRecord& channelRecord = model.Setups[*setup].Channels[*channel];
        const EqImport result = ImportChannelEq(*text, format, channelRecord, target, model.Mode);
        for (const std::string& message : result.messages) m_out << message << "\n";
        if (result.applied == 0) {
            return Fail("nothing in " + args[3] + " could be used; " + args[0] + " is unchanged");
        }
        channelRecord = result.channel;
        if (!SavePresetFile(model, args[0])) {
            return Fail("cannot write the preset file " + args[0]);
        }
        if (static_cast<int>(*channel) >= EffectiveChannelCount(model)) {
            m_out << "Note: the preset describes " << EffectiveChannelCount(model)
                  << " channels; channel " << *channel << " is kept in the file only\n";
        }
        m_out << "Imported " << result.applied << (result.applied == 1 ? " filter" : " filters")
              << " into setup " << *setup << " channel " << *channel << " ("
              << (target == EqImportTarget::Points ? "custom points" : "graphic bands") << ", "
              << (format == EqFileFormat::Apo ? "apo" : "rew") << " file)\n";
        return 0;
    }

    const std::string m_command;
    std::ostream& m_out;
    std::ostream& m_err;
};

}  // namespace

bool IsExchangeCommand(const std::string& command) {
    return command == "export" || command == "import" || command == "response";
}

int RunExchangeCommand(const std::string& command, const std::vector<std::string>& args,
                       std::ostream& out, std::ostream& err) {
    Exchange exchange(command, out, err);
    return exchange.Run(args);
}

}  // namespace vantrel
