#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/Cli.h"
#include "curves/ExactResponse.h"
#include "link/CDSPSocket.h"
#include "model/PresetFile.h"
#include "model/Scales.h"
#include "model/TuneExchange.h"
#include "sim/VirtualAmplifier.h"
#include "support/FakeClock.h"
#include "support/TempFolder.h"
#include "support/TemplateFolder.h"

namespace vantrel {
namespace {

using sim::Fault;

class CliTest : public ::testing::Test {
protected:
    CliTest() : clock(5000) {
        sim::SimOptions options;
        options.port = 0;
        amp = std::make_unique<sim::VirtualAmplifier>(options);
        EXPECT_TRUE(amp->Start());
    }

    struct Result {
        int code;
        std::string out, err;
    };
    Result Run(std::vector<std::string> args, bool withAdaptor = true) {
        if (withAdaptor) {
            args.insert(args.begin(), {"--adaptor", "127.0.0.1:" + std::to_string(amp->Port())});
        }
        std::ostringstream out, err;
        const int code = RunCli(args, out, err, clock);
        return {code, out.str(), err.str()};
    }

    test::FakeClock clock;
    std::unique_ptr<sim::VirtualAmplifier> amp;
};

TEST_F(CliTest, CommandsPrintWhatTheAmplifierAnswers) {
    struct Case {
        std::vector<std::string> args;
        const char* out;
    } cases[] = {
        {{"identify"}, "channels=4 model=3 mcu=1.5 dsp=1.0 family=QV\n"},
        {{"status"}, "voltage=12.4 V temperature=45 C running=1230 m protection=off\n"},
        {{"read", "20585", "6"}, "01 02 03 04 05 06\n"},
        {{"read", "0x5068", "0x2"}, "ff 01\n"},
        {{"load-setup", "3"}, "Load setup OK.\n"},
        {{"set-level", "2", "9"}, "CH3 Set channel level OK.\n"},
        {{"set-level", "0xF0", "255"}, "Set Noise Killer OK.\n"},
        {{"noise-killer", "0"}, "Set Noise Killer OK.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const Result r = Run(c.args);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
    EXPECT_EQ(amp->ReadMemory(sim::kActiveSetupAddress, 1)[0], 3);
    EXPECT_EQ(amp->Levels()[2], 9);
    EXPECT_EQ(amp->ReadMemory(sim::kNoiseKillerAddress, 1)[0], 0);
}

TEST_F(CliTest, EveryInjectedFaultIsReportedAsFailure) {
    struct Case {
        std::vector<std::string> args;
        std::uint8_t command;
        const char* text;
    } cases[] = {
        {{"identify"}, CMD_IDENTIFY, "Communication fail, please retry.\n"},
        {{"status"}, CMD_READ_STATUS, "status: no valid reply"},
        {{"read", "20585", "6"}, CMD_READ_MEMORY, "read: no valid reply"},
        {{"load-setup", "1"}, CMD_LOAD_SETUP, "Load setup fail!\n"},
        {{"set-level", "5", "1"}, CMD_SET_LEVEL, "CH6 Set channel level fail.\n"},
        {{"noise-killer", "255"}, CMD_SET_LEVEL, "Set Noise Killer fail!\n"},
    };
    for (Fault fault : {Fault::WrongCheck, Fault::WrongEnd, Fault::NoReply, Fault::CloseMidReply,
                        Fault::ZeroLength, Fault::ErrorStatus}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(sim::FaultName(fault)) + " " + c.args[0]);
            amp->InjectFault(c.command, fault, 1);
            const Result r = Run(c.args);
            EXPECT_EQ(r.code, 1);
            EXPECT_TRUE(r.out.empty()) << r.out;
            if (fault == Fault::ErrorStatus && c.command == CMD_IDENTIFY) {
                EXPECT_EQ(r.err, "identify: the amplifier answered with error status 0x01\n");
            } else {
                EXPECT_EQ(r.err.rfind(c.text, 0), 0u) << r.err;
            }
        }
    }
}

TEST_F(CliTest, StrayBytesBeforeTheReplyDoNotMatter) {
    amp->InjectFault(0xFF, Fault::StrayBytes);
    EXPECT_EQ(Run({"identify"}).code, 0);
    EXPECT_EQ(Run({"read", "20585", "6"}).out, "01 02 03 04 05 06\n");
}

TEST_F(CliTest, UsageErrorsExitTwoWithoutTouchingTheLink) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"--bogus", "identify"},
        {"identify", "extra"},
        {"read", "70000", "1"},
        {"read", "65535", "2"},
        {"read", "0", "0"},
        {"load-setup", "4"},
        {"set-level", "6", "1"},
        {"set-level", "1", "256"},
        {"set-level", "1", "-1"},
        {"noise-killer", "7"},
        {"--adaptor", "127.0.0.1:99999", "identify"},
    };
    for (const auto& args : cases) {
        const Result r = Run(args, args.empty() || args[0] != "--adaptor");
        EXPECT_EQ(r.code, 2) << (args.empty() ? "(none)" : args[0]);
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_TRUE(amp->Requests().empty());
    EXPECT_EQ(Run({"--help"}, false).code, 0);
}

TEST_F(CliTest, AdaptorComesFromTheSettingsFileInTheDataFolder) {
    const test::TempFolder dir("vantrel-cli");
    std::filesystem::create_directories(dir / "INI");
    dir.Put("INI/InitFile.dat",
            "[Server]\r\nIP=127.0.0.1\r\nPort=" + std::to_string(amp->Port()) + "\r\n");
    const Result r = Run({"--data-dir", dir.Path().string(), "identify"}, false);
    EXPECT_EQ(r.code, 0) << r.err;
}

// A whole-configuration command that fails for want of a file says which, on standard error.
TEST_F(CliTest, TransferFailuresNameWhatFailed) {
    namespace fs = std::filesystem;
    // The shipped settings and catalogue, and the download template of the virtual amplifier.
    const test::TempFolder folder("vantrel-cli");
    const fs::path& data = folder.Path();
    fs::create_directories(data / "INI");
    fs::create_directories(data / "PNGRes");
    const fs::path built = VANTREL_BUILD_DATA_DIR;
    for (const char* file : {"INI/InitFile.dat", "INI/DeviceModels.dat"}) {
        fs::copy_file(built / file, data / file, fs::copy_options::overwrite_existing);
    }
    test::WriteTemplate(data, "E2", test::TemplateMemory(3));
    const fs::path preset = data / "INI" / "Kept.dat";
    ASSERT_EQ(Run({"--data-dir", data.string(), "download", preset.string()}).code, 0);

    // A folder where the preset should go, a preset in a folder that does not exist.
    fs::create_directories(data / "INI" / "Folder.dat");
    for (const fs::path& target : {data / "INI" / "Folder.dat", data / "missing" / "A.dat"}) {
        SCOPED_TRACE(target.string());
        const Result r = Run({"--data-dir", data.string(), "download", target.string()});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("download: cannot write the preset file " + target.string()),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.out.find("Get setup data OK."), std::string::npos) << r.out;
    }

    const Result unreadable =
        Run({"--data-dir", data.string(), "store", (data / "none.dat").string()});
    EXPECT_EQ(unreadable.code, 1);
    EXPECT_NE(unreadable.err.find("store: cannot read the preset file"), std::string::npos);

    // Without the template pair neither a store nor a download can begin.
    fs::remove(data / "PNGRes" / "E2.r1");
    const std::size_t before = amp->Requests().size();
    for (const char* command : {"store", "download"}) {
        SCOPED_TRACE(command);
        const Result r = Run({"--data-dir", data.string(), command, preset.string()});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(std::string(command) + ": cannot read the download template " +
                             (data / "PNGRes" / "E2.r0").string() + " and " +
                             (data / "PNGRes" / "E2.r1").string()),
                  std::string::npos)
            << r.err;
    }
    const auto requests = amp->Requests();
    for (std::size_t i = before; i < requests.size(); ++i) {
        EXPECT_NE(requests[i].command, CMD_WRITE_MEMORY) << "a store began without its template";
    }
}

std::string FileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A preset whose setup 2, channel 3 holds a tune; the other channels keep their start values.
struct PresetWithTune {
    explicit PresetWithTune(const test::TempFolder& folder) : file(folder / "Tune.dat") {
        InitSetups(model);
        model.ChannelNum = 6;
        ChannelRecord& ch = model.Setups[2].Channels[3];
        ch.HighPassOn = 1;
        ch.HighPassFreq = QuantizeCrossoverFreq(80, 0);
        ch.HighPassSlope = 24;
        ch.CustomEQ[0] = {QuantizeEqFreq(1000), -3.0f, 4.5f, 0};
        ch.DelayOn = 1;
        ch.DelayTime = 1.5f;
        ch.Trim = 2.0f;
        EXPECT_TRUE(SavePresetFile(model, file));
        // The file holds one decimal: the model becomes what a command reads back.
        EXPECT_TRUE(LoadPresetFile(model, file));
    }
    ParameterModel model;
    std::filesystem::path file;
};

TEST_F(CliTest, ExportWritesAChannelOrASetupWithoutTouchingTheLink) {
    const test::TempFolder folder("vantrel-cli");
    const PresetWithTune preset(folder);
    const std::string p = preset.file.string();
    const SetupRecord& setup = preset.model.Setups[2];
    const ChannelRecord& ch = setup.Channels[3];
    struct Case {
        std::vector<std::string> args;
        std::string text;
    } cases[] = {
        {{"export", p, "2", "3", "rew"},
         ExportChannelEq(ch, EqFileFormat::Rew, "Tune.dat, setup 2, channel 3")},
        {{"export", p, "0x2", "3", "apo"},
         ExportChannelEq(ch, EqFileFormat::Apo, "Tune.dat, setup 2, channel 3")},
        {{"export", p, "2", "camilladsp"}, ExportCamillaDsp(setup, 6, "Tune.dat, setup 2")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        const Result r = Run(c.args, false);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, c.text);

        std::vector<std::string> toFile = c.args;
        toFile.push_back((folder / "out.txt").string());
        const Result f = Run(toFile, false);
        EXPECT_EQ(f.code, 0) << f.err;
        EXPECT_EQ(f.out, "");
        EXPECT_EQ(FileText(folder / "out.txt"), c.text);
    }
    EXPECT_TRUE(amp->Requests().empty());
}

TEST_F(CliTest, ImportRewritesOnlyItsChannelAndPrintsWhatItDid) {
    const test::TempFolder folder("vantrel-cli");
    const PresetWithTune preset(folder);
    const std::string eq =
        "Preamp: -4 dB\n"
        "Filter 1: ON PK Fc 125 Hz Gain -20 dB Q 3\n"
        "Filter 2: OFF PK Fc 500 Hz Gain 2 dB Q 3\n"
        "Filter 3: ON LP Fc 3000 Hz\n";
    const std::filesystem::path eqFile = folder.Put("eq.txt", eq);
    const Result r =
        Run({"import", preset.file.string(), "2", "3", eqFile.string(), "--into", "bands"}, false);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "Filter 2: OFF, skipped\n"
              "Band 6 (125 Hz): -20 dB from the filters limited to -15 dB (band range -15..+6 dB)\n"
              "Imported 3 filters into setup 2 channel 3 (graphic bands, apo file)\n");
    EXPECT_EQ(r.err, "");

    // The preset is the one the core import gives, written as the window would write it.
    ParameterModel expected = preset.model;
    ChannelRecord& ch = expected.Setups[2].Channels[3];
    ch = ImportChannelEq(eq, EqFileFormat::Apo, ch, EqImportTarget::Bands, 0).channel;
    EXPECT_EQ(ch.EQBand[5].Gain, -15.0f);
    EXPECT_EQ(ch.LowPassOn, 1);
    EXPECT_EQ(ch.Trim, 4.0f);
    EXPECT_TRUE(SavePresetFile(expected, folder / "Expected.dat"));
    EXPECT_EQ(FileText(preset.file), FileText(folder / "Expected.dat"));
    EXPECT_TRUE(amp->Requests().empty());
}

// The response of the preset's channel 3 in setup 2 (a 24 dB high-pass at 80 Hz, a -3 dB point
// at 1 kHz, 2 dB of trim, 1.5 ms of delay) at 20 Hz, 200 Hz, 2 kHz and 20 kHz, from the same
// decoding the curves use.
TEST_F(CliTest, ResponsePrintsTheChannelAsTheAmplifierRunsIt) {
    const test::TempFolder folder("vantrel-cli");
    const PresetWithTune preset(folder);
    const Result r = Run({"response", preset.file.string(), "2", "3", "--points", "4"}, false);
    ASSERT_EQ(r.code, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line.rfind("# Tune.dat, setup 2, channel 3", 0), 0u) << line;
    std::getline(lines, line);
    const ExactSetup exact = DecodeExactSetup(preset.model.Setups[2], 6);
    for (const double hz : {20.0, 200.0, 2000.0, 20000.0}) {
        ASSERT_TRUE(std::getline(lines, line));
        double f = 0, db = 0, degrees = 0;
        std::istringstream(line) >> f >> db >> degrees;
        const ExactValue v = ExactResponse(exact.Channels[3], hz);
        EXPECT_NEAR(f, hz, 0.01);
        EXPECT_NEAR(db, v.Db, 0.001) << line;
        EXPECT_NEAR(degrees, v.PhaseRad * 180.0 / 3.14159265358979, 0.01) << line;
    }
    // 20 Hz is two octaves below a fourth-order high-pass: about 48 dB down (and 2 dB of trim).
    std::istringstream first(r.out.substr(r.out.find("\n20.00") + 1));
    double f = 0, db = 0;
    first >> f >> db;
    EXPECT_NEAR(db, -50.0, 1.0);
    EXPECT_FALSE(std::getline(lines, line));
}

TEST_F(CliTest, ExchangeUsageErrorsExitTwoAndFailuresOne) {
    const test::TempFolder folder("vantrel-cli");
    const PresetWithTune preset(folder);
    const std::string p = preset.file.string();
    const std::string eq =
        folder.Put("eq.txt", "Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 1\n").string();
    const std::string useless = folder.Put("useless.txt", "Filter 1: ON LS Fc 100 Hz\n").string();
    const std::string missing = (folder / "missing.txt").string();
    const std::string huge = folder.Put("huge.txt", std::string(kMaxFilterFileBytes + 1, ' ')).string();
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string err;  // the start of standard error
    } cases[] = {
        {{"export"}, 2, "vantrel-cli: export: takes PRESET"},
        {{"export", p, "4", "0", "rew"}, 2, "vantrel-cli: export: SETUP must be 0..3"},
        {{"export", p, "0", "6", "rew"}, 2, "vantrel-cli: export: CHANNEL must be 0..5"},
        {{"export", p, "0", "1", "xml"}, 2, "vantrel-cli: export: unknown format 'xml'"},
        {{"export", p, "0", "camilladsp", "a", "b"}, 2, "vantrel-cli: export: takes"},
        {{"export", p, "0", "0", "rew", "--into", "bands"},
         2,
         "vantrel-cli: export: unknown option"},
        {{"import", p, "0", "0"}, 2, "vantrel-cli: import: takes PRESET"},
        {{"import", p, "0", "0", eq, "--into", "curves"}, 2, "vantrel-cli: import: --into takes"},
        {{"import", p, "0", "0", eq, "--format", "xml"}, 2, "vantrel-cli: import: --format takes"},
        {{"import", p, "0", "0", eq, "--into"}, 2, "vantrel-cli: import: --into needs a value"},
        {{"import", p, "-1", "0", eq}, 2, "vantrel-cli: import: SETUP must be 0..3"},
        {{"export", missing, "0", "0", "rew"},
         1,
         "vantrel-cli: export: cannot read the preset file " + missing},
        {{"export", p, "0", "0", "rew", (folder / "no" / "out.txt").string()},
         1,
         "vantrel-cli: export: cannot write"},
        {{"import", p, "0", "0", missing}, 1, "vantrel-cli: import: cannot read " + missing},
        {{"import", p, "0", "0", folder.Path().string()}, 1, "vantrel-cli: import: cannot read"},
        {{"import", p, "0", "0", huge},
         1,
         "vantrel-cli: import: cannot read " + huge + ": it is larger than 1 MB"},
        {{"import", p, "0", "0", useless},
         1,
         "vantrel-cli: import: nothing in " + useless + " could be used; " + p + " is unchanged"},
        {{"import", missing, "0", "0", eq}, 1, "vantrel-cli: import: cannot read the preset file"},
        {{"response", p, "0"}, 2, "vantrel-cli: response: takes PRESET SETUP CHANNEL"},
        {{"response", p, "0", "0", "--points", "1"}, 2, "vantrel-cli: response: --points must"},
        {{"response", p, "0", "6"}, 2, "vantrel-cli: response: CHANNEL must be 0..5"},
        {{"response", p, "0", "4"}, 1, "vantrel-cli: response: channel 4 has no place"},
        {{"response", missing, "0", "0"}, 1, "vantrel-cli: response: cannot read the preset"},
    };
    const std::string before = FileText(preset.file);
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.args) line += a + " ";
        SCOPED_TRACE(line);
        const Result r = Run(c.args, false);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
    }
    EXPECT_EQ(FileText(preset.file), before);
}

}  // namespace
}  // namespace vantrel
