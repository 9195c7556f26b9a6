#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "curves/Measurement.h"

namespace vantrel {
namespace {

struct Row {
    double hz;
    double db;
    std::optional<double> phase;
};

TEST(Measurement, ReadsTheExportedColumns) {
    struct Case {
        const char* what;
        std::string text;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        {"comments, spaces and a phase column",
         "* Measurement data measured by REW\n* Freq(Hz) SPL(dB) Phase(degrees)\n"
         "20.000 78.5 -12.25\n  1000 85 0\n\n20000 70.25 175\n",
         {{20, 78.5, -12.25}, {1000, 85, 0.0}, {20000, 70.25, 175}}},
        {"tabs, CRLF, no phase, a byte order mark",
         "\xEF\xBB\xBF"
         "100\t80\r\n200\t81.5\r\n",
         {{100, 80, {}}, {200, 81.5, {}}}},
        {"decimal commas between spaces",
         "1000,5 85,2\n2000,25 86 -3,5\n",
         {{1000.5, 85.2, {}}, {2000.25, 86, -3.5}}},
        {"commas as separators", "1000,85.2\n2000,86,-45\n", {{1000, 85.2, {}}, {2000, 86, -45.0}}},
        {"comma and space",
         "1000, 85.2, 10\n2000, 86, 20\n",
         {{1000, 85.2, 10.0}, {2000, 86, 20.0}}},
        {"semicolons with decimal commas",
         "1000;85,2\n1e4;+7,5;-1\n",
         {{1000, 85.2, {}}, {10000, 7.5, -1.0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const MeasurementResult result = ParseMeasurement(c.text);
        ASSERT_TRUE(result.Data) << result.Error;
        EXPECT_TRUE(result.Error.empty());
        const auto& points = result.Data->Points;
        ASSERT_EQ(points.size(), c.rows.size());
        for (std::size_t i = 0; i < points.size(); ++i) {
            EXPECT_DOUBLE_EQ(points[i].Hz, c.rows[i].hz);
            EXPECT_DOUBLE_EQ(points[i].Db, c.rows[i].db);
            EXPECT_EQ(points[i].PhaseDeg, c.rows[i].phase);
        }
    }
}

TEST(Measurement, RefusesWhatItCannotReadAndSaysWhere) {
    struct Case {
        const char* what;
        std::string text;
        std::string error;
    };
    std::string huge;
    for (std::size_t i = 1; i <= kMaxMeasurementPoints + 1; ++i) {
        huge += std::to_string(i) + " 80\n";
    }
    const Case cases[] = {
        {"empty file", "", "the file holds no measurement points"},
        {"comments only", "* nothing\n*\n   \n", "the file holds no measurement points"},
        {"garbage line", "100 80\nhello world\n",
         "line 2: \"hello world\" is not a row of numbers"},
        {"one field", "100 80\n200\n",
         "line 2: expected frequency, SPL and optional phase, "
         "found 1 fields"},
        {"too many fields", "100 80 1 2\n",
         "line 1: expected frequency, SPL and optional phase, "
         "found more than 3 fields"},
        {"ambiguous commas", "1000,5,85,2\n",
         "line 1: expected frequency, SPL and optional "
         "phase, found more than 3 fields"},
        {"two decimal marks", "1000,5.5 80\n", "line 1: \"1000,5.5\" is not a number"},
        {"not a finite number", "100 nan\n", "line 1: \"100 nan\" is not a row of numbers"},
        {"zero frequency", "* x\n0 80\n", "line 2: the frequency must be above 0 Hz"},
        {"negative frequency", "-20 80\n", "line 1: the frequency must be above 0 Hz"},
        {"level beyond any sound", "100 -1e308\n200 1e308\n",
         "line 1: the level or phase is out of range (level within +-1000 dB, phase within "
         "+-1000000 degrees)"},
        {"phase beyond reason", "100 80 1e300\n",
         "line 1: the level or phase is out of range (level within +-1000 dB, phase within "
         "+-1000000 degrees)"},
        {"descending frequencies", "100 80\n200 81\n150 82\n",
         "line 3: the frequencies must rise from line to line"},
        {"repeated frequency", "100 80\n100 81\n",
         "line 2: the frequencies must rise from line to line"},
        {"too many points", huge,
         "line " + std::to_string(kMaxMeasurementPoints + 1) + ": more than " +
             std::to_string(kMaxMeasurementPoints) + " points"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const MeasurementResult result = ParseMeasurement(c.text);
        EXPECT_FALSE(result.Data);
        EXPECT_EQ(result.Error, c.error);
    }
    // One endless line is refused without splitting all of it.
    std::string endless;
    for (int i = 0; i < 500000; ++i) endless += "1 ";
    EXPECT_FALSE(ParseMeasurement(endless).Data);
}

TEST(Measurement, LoadsFilesWithinTheLimit) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("vantrel-measurement-" +
                      std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    const auto good = dir / "m.txt";
    std::ofstream(good) << "* REW\n100 80\n1000 90\n";
    const MeasurementResult loaded = LoadMeasurement(good);
    ASSERT_TRUE(loaded.Data) << loaded.Error;
    EXPECT_EQ(loaded.Data->Points.size(), 2u);

    const auto big = dir / "big.txt";
    std::ofstream(big).put('1');
    std::filesystem::resize_file(big, kMaxMeasurementFileBytes + 1);
    EXPECT_NE(LoadMeasurement(big).Error.find("larger than 32 MB"), std::string::npos);
    EXPECT_NE(LoadMeasurement(dir / "missing.txt").Error.find("cannot read"), std::string::npos);
    std::filesystem::remove_all(dir);
}

TEST(Measurement, ReferenceLevelAndInterpolation) {
    Measurement m;
    m.Points = {{100, 70, {}}, {200, 80, {}}, {1000, 84, {}}, {2000, 82, {}}, {10000, 60, {}}};
    // The mean within 200 Hz .. 2 kHz.
    EXPECT_DOUBLE_EQ(MeasurementReferenceDb(m), 82.0);
    Measurement outside;
    outside.Points = {{20, 60, {}}, {50, 70, {}}};
    EXPECT_DOUBLE_EQ(MeasurementReferenceDb(outside), 65.0);

    // Linear in log frequency: half-way in octaves between 100 and 200 Hz is sqrt(2) x 100.
    EXPECT_NEAR(*MeasurementDbAt(m, 100.0 * std::sqrt(2.0)), 75.0, 1e-9);
    EXPECT_DOUBLE_EQ(*MeasurementDbAt(m, 1000.0), 84.0);
    EXPECT_DOUBLE_EQ(*MeasurementDbAt(m, 10000.0), 60.0);
    EXPECT_FALSE(MeasurementDbAt(m, 99.0));
    EXPECT_FALSE(MeasurementDbAt(m, 10001.0));
    EXPECT_FALSE(MeasurementDbAt(m, std::nan("")));
    EXPECT_FALSE(MeasurementDbAt(Measurement{}, 100.0));
}

}  // namespace
}  // namespace vantrel
