#include <gtest/gtest.h>
#include <yaml.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/Scales.h"
#include "model/TuneExchange.h"

namespace vantrel {
namespace {

// A parsed YAML document as a small tree: scalars, mappings (keys in order) and sequences.
struct Node {
    enum class Kind { Scalar, Map, Seq } kind = Kind::Scalar;
    std::string scalar;
    std::vector<std::pair<std::string, Node>> map;
    std::vector<Node> seq;

    const Node& operator[](const std::string& key) const {
        for (const auto& [k, v] : map) {
            if (k == key) return v;
        }
        static const Node missing{Kind::Scalar, "<missing>", {}, {}};
        return missing;
    }
    std::vector<std::string> Keys() const {
        std::vector<std::string> keys;
        for (const auto& entry : map) keys.push_back(entry.first);
        return keys;
    }
    double Number() const { return std::stod(scalar); }
};

class YamlReader {
public:
    explicit YamlReader(const std::string& text) {
        yaml_parser_initialize(&m_parser);
        yaml_parser_set_input_string(&m_parser, reinterpret_cast<const unsigned char*>(text.data()),
                                     text.size());
    }
    ~YamlReader() { yaml_parser_delete(&m_parser); }

    // The single document of the text; a parse error fails the test.
    Node Document() {
        Expect(YAML_STREAM_START_EVENT);
        Expect(YAML_DOCUMENT_START_EVENT);
        Node root = Value(Next());
        Expect(YAML_DOCUMENT_END_EVENT);
        Expect(YAML_STREAM_END_EVENT);
        return root;
    }

private:
    struct Event {
        yaml_event_t event;
        ~Event() { yaml_event_delete(&event); }
    };

    std::unique_ptr<Event> Next() {
        auto e = std::make_unique<Event>();
        if (!yaml_parser_parse(&m_parser, &e->event)) {
            ADD_FAILURE() << "YAML error: " << (m_parser.problem ? m_parser.problem : "?")
                          << " at line " << m_parser.problem_mark.line + 1;
            e->event.type = YAML_STREAM_END_EVENT;
        }
        return e;
    }

    void Expect(yaml_event_type_t type) { EXPECT_EQ(Next()->event.type, type); }

    Node Value(const std::unique_ptr<Event>& e) {
        Node node;
        switch (e->event.type) {
            case YAML_SCALAR_EVENT:
                node.scalar.assign(reinterpret_cast<const char*>(e->event.data.scalar.value),
                                   e->event.data.scalar.length);
                break;
            case YAML_MAPPING_START_EVENT:
                node.kind = Node::Kind::Map;
                for (auto k = Next(); k->event.type != YAML_MAPPING_END_EVENT; k = Next()) {
                    if (k->event.type != YAML_SCALAR_EVENT) {
                        ADD_FAILURE() << "mapping key is not a scalar";
                        break;
                    }
                    std::string key = Value(k).scalar;
                    node.map.emplace_back(key, Value(Next()));
                }
                break;
            case YAML_SEQUENCE_START_EVENT:
                node.kind = Node::Kind::Seq;
                for (auto v = Next(); v->event.type != YAML_SEQUENCE_END_EVENT; v = Next()) {
                    if (v->event.type == YAML_STREAM_END_EVENT) break;
                    node.seq.push_back(Value(v));
                }
                break;
            default:
                ADD_FAILURE() << "unexpected YAML event " << e->event.type;
        }
        return node;
    }

    yaml_parser_t m_parser;
};

Node Parse(const std::string& text) {
    YamlReader reader(text);
    return reader.Document();
}

TEST(CamillaDspExportTest, ASetupBecomesACompleteConfiguration) {
    SetupRecord setup;
    ChannelRecord& front = setup.Channels[0];
    front.HighPassOn = 1;
    front.HighPassFreq = QuantizeCrossoverFreq(80, 0);
    front.HighPassSlope = 24;
    front.LowPassOn = 1;
    front.LowPassFreq = 5000.0f;
    front.LowPassSlope = 6;
    front.CustomEQ[0] = {1000.0f, -3.0f, 4.5f, 0};
    front.CustomEQ[1] = {2000.0f, 2.0f, 1.0f, 1};  // bypassed
    front.CustomEQ[3] = {QuantizeEqFreq(120), 1.5f, 2.0f, 0};
    front.EQBand[6].Gain = -2.5f;
    front.DelayOn = 1;
    front.DelayTime = 1.24f;
    front.Trim = 3.5f;
    // Muted, trim without the delay section (not in effect), bands under EQ bypass.
    ChannelRecord& muted = setup.Channels[1];
    muted.Mute = 1;
    muted.Trim = 6.0f;
    muted.EQBypass = 1;
    muted.EQBand[0].Gain = 4.0f;
    // Channel 3 has nothing; channel 4 is beyond the exported count.
    setup.Channels[3].HighPassOn = 1;

    const Node doc = Parse(ExportCamillaDsp(setup, 3, "setup 1"));
    ASSERT_EQ(doc.kind, Node::Kind::Map);
    EXPECT_EQ(doc.Keys(), (std::vector<std::string>{"devices", "filters", "pipeline"}));

    const Node& devices = doc["devices"];
    EXPECT_EQ(devices["samplerate"].scalar, "48000");
    EXPECT_EQ(devices["chunksize"].scalar, "1024");
    EXPECT_EQ(devices["capture"]["type"].scalar, "Stdin");
    EXPECT_EQ(devices["capture"]["channels"].scalar, "3");
    EXPECT_EQ(devices["playback"]["type"].scalar, "Stdout");
    EXPECT_EQ(devices["playback"]["format"].scalar, "S32_LE");

    const Node& filters = doc["filters"];
    EXPECT_EQ(filters.Keys(),
              (std::vector<std::string>{"ch1_hp", "ch1_lp", "ch1_peq1", "ch1_peq4", "ch1_band07",
                                        "ch1_delay", "ch1_gain", "ch2_gain"}));
    struct Expected {
        const char* name;
        const char* type;
        std::map<std::string, std::string> text;  // parameters compared as written
        std::map<std::string, double> numbers;    // parameters compared as numbers
    } expected[] = {
        {"ch1_hp",
         "BiquadCombo",
         {{"type", "ButterworthHighpass"}, {"order", "4"}},
         {{"freq", front.HighPassFreq}}},
        {"ch1_lp",
         "BiquadCombo",
         {{"type", "ButterworthLowpass"}, {"order", "1"}},
         {{"freq", 5000.0}}},
        {"ch1_peq1", "Biquad", {{"type", "Peaking"}}, {{"freq", 1000}, {"gain", -3}, {"q", 4.5}}},
        {"ch1_peq4",
         "Biquad",
         {{"type", "Peaking"}},
         {{"freq", front.CustomEQ[3].Freq}, {"gain", 1.5}, {"q", 2}}},
        {"ch1_band07", "Biquad", {{"type", "Peaking"}}, {{"freq", 160}, {"gain", -2.5}, {"q", 3}}},
        {"ch1_delay", "Delay", {{"unit", "ms"}}, {{"delay", 1.24f}}},
        {"ch1_gain",
         "Gain",
         {{"mute", "false"}, {"inverted", "false"}, {"scale", "dB"}},
         {{"gain", -3.5}}},
        {"ch2_gain",
         "Gain",
         {{"mute", "true"}, {"inverted", "false"}, {"scale", "dB"}},
         {{"gain", 0}}},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.name);
        const Node& filter = filters[e.name];
        EXPECT_EQ(filter["type"].scalar, e.type);
        const Node& parameters = filter["parameters"];
        EXPECT_EQ(parameters.map.size(), e.text.size() + e.numbers.size());
        for (const auto& [key, value] : e.text) EXPECT_EQ(parameters[key].scalar, value) << key;
        for (const auto& [key, value] : e.numbers) {
            // Real numbers are written as such, and as exactly as the model holds them.
            EXPECT_NE(parameters[key].scalar.find('.'), std::string::npos) << key;
            EXPECT_EQ(static_cast<float>(parameters[key].Number()), static_cast<float>(value))
                << key;
        }
    }

    const Node& pipeline = doc["pipeline"];
    ASSERT_EQ(pipeline.kind, Node::Kind::Seq);
    ASSERT_EQ(pipeline.seq.size(), 2u);
    const std::vector<std::vector<std::string>> names = {
        {"ch1_hp", "ch1_lp", "ch1_peq1", "ch1_peq4", "ch1_band07", "ch1_delay", "ch1_gain"},
        {"ch2_gain"}};
    for (std::size_t i = 0; i < pipeline.seq.size(); ++i) {
        const Node& step = pipeline.seq[i];
        EXPECT_EQ(step["type"].scalar, "Filter");
        ASSERT_EQ(step["channels"].seq.size(), 1u);
        EXPECT_EQ(step["channels"].seq[0].scalar, std::to_string(i));
        std::vector<std::string> got;
        for (const Node& n : step["names"].seq) got.push_back(n.scalar);
        EXPECT_EQ(got, names[i]);
    }
}

TEST(CamillaDspExportTest, ASetupWithoutFiltersIsStillAConfiguration) {
    const Node doc = Parse(ExportCamillaDsp(SetupRecord{}, 6));
    EXPECT_EQ(doc["devices"]["capture"]["channels"].scalar, "6");
    EXPECT_EQ(doc["filters"].kind, Node::Kind::Map);
    EXPECT_TRUE(doc["filters"].map.empty());
    EXPECT_EQ(doc["pipeline"].kind, Node::Kind::Seq);
    EXPECT_TRUE(doc["pipeline"].seq.empty());
}

}  // namespace
}  // namespace vantrel
