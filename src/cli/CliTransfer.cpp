#include "cli/CliTransfer.h"

#include <algorithm>
#include <cstdlib>
#include <ostream>

#include "link/CDspCtlThread.h"
#include "link/FirmwareFiles.h"
#include "model/DeviceCatalogue.h"
#include "model/PresetFile.h"
#include "model/SetupTransfer.h"

namespace vantrel {

namespace {

// Result texts go to standard output as they arrive, so a script sees them in order.
class PrintingSink final : public WorkerSink {
public:
    explicit PrintingSink(std::ostream& out) : m_out(out) {}
    void PostToWindow(WindowMessage message) override {
        if (message.message != UM_RESULT_TEXT) return;
        m_out << message.text << "\n";
        m_texts.push_back(std::move(message.text));
    }
    bool Saw(const std::string& text) const {
        return std::find(m_texts.begin(), m_texts.end(), text) != m_texts.end();
    }
    std::size_t Count() const { return m_texts.size(); }

private:
    std::ostream& m_out;
    std::vector<std::string> m_texts;
};

// The update offers are answered by --yes, the device selection by --model-index.
class FlagQuestions final : public WorkerQuestions {
public:
    FlagQuestions(std::ostream& out, bool yes, std::optional<unsigned long> modelIndex)
        : m_out(out), m_yes(yes), m_modelIndex(modelIndex) {}
    bool AskYesNo(const std::string& text) override {
        std::string line = text;
        std::replace(line.begin(), line.end(), '\n', ' ');
        m_out << line << (m_yes ? " [yes]" : " [no: give --yes to accept]") << "\n";
        return m_yes;
    }
    std::optional<std::uint8_t> SelectDevice(const DeviceCatalogue& catalogue,
                                             std::uint16_t) override {
        if (!m_modelIndex || *m_modelIndex >= catalogue.Entries.size()) {
            m_out << "Device Select: cancelled (give --model-index K, 0.."
                  << (catalogue.Entries.empty() ? 0 : catalogue.Entries.size() - 1) << ")\n";
            return std::nullopt;
        }
        m_out << "Device Select: " << catalogue.Entries[*m_modelIndex].Name << "\n";
        return static_cast<std::uint8_t>(*m_modelIndex);
    }

private:
    std::ostream& m_out;
    bool m_yes;
    std::optional<unsigned long> m_modelIndex;
};

std::optional<unsigned long> ParseIndex(const std::string& text, unsigned long max) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return {};
    const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
    if (value > max) return {};
    return value;
}

struct Flags {
    std::vector<std::string> positional;
    bool yes = false;
    std::optional<unsigned long> modelIndex;
    std::optional<unsigned long> activate;
};

std::optional<Flags> ParseFlags(const std::vector<std::string>& args, std::string& problem) {
    Flags flags;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--yes") {
            flags.yes = true;
        } else if ((a == "--model-index" || a == "--activate") && i + 1 < args.size()) {
            const auto value = ParseIndex(args[++i], a == "--activate" ? 3 : 254);
            if (!value) {
                problem = a + " needs " + (a == "--activate" ? "0..3" : "a catalogue index");
                return std::nullopt;
            }
            (a == "--activate" ? flags.activate : flags.modelIndex) = value;
        } else if (a.rfind("--", 0) == 0) {
            problem = "unknown option " + a;
            return std::nullopt;
        } else {
            flags.positional.push_back(a);
        }
    }
    return flags;
}

DeviceCatalogue LoadCatalogueOrEmpty(const std::filesystem::path& dataFolder) {
    return LoadDeviceCatalogue(dataFolder / kCatalogueFile).value_or(DeviceCatalogue{});
}

class Transfer {
public:
    Transfer(const TransferContext& context, std::ostream& out, std::ostream& err,
             const Flags& flags)
        : m_context(context),
          m_err(err),
          m_sink(out),
          m_questions(out, flags.yes, flags.modelIndex),
          m_worker(m_sink, m_questions, *context.clock, context.dataFolder) {
        m_worker.SetAdaptor(context.host, context.port);
    }

    // Identity, firmware checks, download and activation, then the window's takeover, written to
    // a preset file with the marks and all four setups.
    bool Download(const std::filesystem::path& preset) {
        const DeviceCatalogue catalogue = LoadCatalogueOrEmpty(m_context.dataFolder);
        if (!m_worker.Procedures().ConnectSequence(m_context.version,
                                                   static_cast<int>(catalogue.Entries.size()))) {
            ExplainMissingTemplate("download");
            return false;
        }
        WorkerState& state = m_worker.State();
        ParameterModel model;
        InitSetups(model);
        DeviceImage image;
        std::array<std::uint8_t, 6> marks{};
        {
            std::lock_guard lock(state.mutex);
            image = state.current;
            marks = state.channelAssign;
        }
        TakeOverSetups(model, state.setups, image, state.noiseKiller, state.activeSetup,
                       catalogue);
        for (std::size_t c = 0; c < marks.size(); ++c) {
            model.MarkIndex[c] = std::min<int>(marks[c], kChannelMarkCount - 1);
        }
        if (!SavePresetFile(model, preset, [this](const std::string& text) { Print(text); })) {
            return Fail("download: cannot write the preset file " + preset.string());
        }
        return true;
    }

    // Reads the amplifier's own image first, so that its control words and every byte the tool
    // does not write survive, then stores the preset's setups into it.
    bool Store(const std::filesystem::path& preset, std::optional<unsigned long> activate) {
        ParameterModel model;
        InitSetups(model);
        if (!LoadPresetFile(model, preset)) {
            return Fail("store: cannot read the preset file " + preset.string());
        }
        WorkerState& state = m_worker.State();
        m_worker.Procedures().ReloadCatalogue();
        if (!m_worker.Socket().Identify(state.identity.data())) {
            Print("Communication fail, please retry.");
            return false;
        }
        if (!m_worker.Procedures().DownloadSetups()) {
            ExplainMissingTemplate("store");
            return false;
        }
        {
            std::lock_guard lock(state.mutex);
            for (std::size_t c = 0; c < state.channelAssign.size(); ++c) {
                state.channelAssign[c] = static_cast<std::uint8_t>(model.MarkIndex[c]);
            }
        }
        state.noiseKiller = model.ANS;
        const auto setup = static_cast<std::uint8_t>(activate.value_or(
            static_cast<unsigned long>(model.CurrentSetupIndex)));
        return m_worker.Procedures().StoreSetups(model.Setups, setup);
    }

    // A paced setup load, as the window's setup buttons send it.
    bool Switch(std::uint8_t setup) {
        m_worker.Post(TM_LOAD_SETUP, setup);
        while (m_sink.Count() == 0) {
            m_worker.ProcessPending();
            if (m_sink.Count() != 0) break;
            const auto next = m_worker.NextTimerIn();
            if (!next) break;
            m_context.clock->SleepMs(std::max<std::int64_t>(*next, 1));
        }
        return m_sink.Saw("Load setup OK.");
    }

    bool UpdateFirmware() {
        m_worker.Procedures().UpdateOnDemand(m_context.version);
        return m_sink.Saw("Firmare update success!");
    }

private:
    void Print(const std::string& text) { m_sink.PostToWindow({UM_RESULT_TEXT, text, 0, {}}); }

    bool Fail(const std::string& text) {
        m_err << "vantrel-cli: " << text << "\n";
        return false;
    }

    // A download without its template pair fails without a result text of the tool's own, so the
    // reason is given here. The pair is chosen as the download chooses it: by the model code the
    // amplifier reported.
    void ExplainMissingTemplate(const std::string& command) {
        const WorkerState& state = m_worker.State();
        std::string name = "E2";
        if (const auto index = FindCatalogueEntry(state.catalogue, state.identity[1])) {
            if (state.catalogue.Entries[*index].Type == kBassAmplifierType) name = "E3";
        }
        const FirmwarePair pair = FirmwarePairPath(m_context.dataFolder, name);
        if (AssembleTemplateImage(pair)) return;
        Fail(command + ": cannot read the download template " + pair.r0.string() + " and " +
             pair.r1.string());
    }

    const TransferContext& m_context;
    std::ostream& m_err;
    PrintingSink m_sink;
    FlagQuestions m_questions;
    CDspCtlThread m_worker;
};

}  // namespace

bool IsTransferCommand(const std::string& command) {
    return command == "download" || command == "store" || command == "switch" ||
           command == "firmware-update";
}

int RunTransferCommand(const std::string& command, const std::vector<std::string>& args,
                       const TransferContext& context, std::ostream& out, std::ostream& err) {
    std::string problem;
    const auto flags = ParseFlags(args, problem);
    auto usage = [&](const std::string& text) {
        err << "vantrel-cli: " << command << ": " << text << " (see vantrel-cli --help)\n";
        return 2;
    };
    if (!flags) return usage(problem);
    const std::size_t wanted = command == "firmware-update" ? 0 : 1;
    if (flags->positional.size() != wanted) {
        return usage(wanted ? "takes one argument" : "takes no argument");
    }
    Transfer transfer(context, out, err, *flags);
    bool ok = false;
    if (command == "download") {
        ok = transfer.Download(flags->positional[0]);
    } else if (command == "store") {
        ok = transfer.Store(flags->positional[0], flags->activate);
    } else if (command == "switch") {
        const auto setup = ParseIndex(flags->positional[0], 3);
        if (!setup) return usage("N must be 0..3");
        ok = transfer.Switch(static_cast<std::uint8_t>(*setup));
    } else {
        if (!flags->modelIndex) return usage("needs --model-index K");
        ok = transfer.UpdateFirmware();
    }
    return ok ? 0 : 1;
}

}  // namespace vantrel
