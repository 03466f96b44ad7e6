// The one reader of the reference tables (tools/accuracy/reference_tables.h), which the
// accuracy report, the transport-row fitter and the coefficient fitter share: a table's comments,
// header, empty and non-numeric cells, short rows and line ends, and the fields of info.json the
// tools take, on written examples and on the real tables. The tests that read the reference
// tables skip when ../shared/reference is not there.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "tools/accuracy/reference_tables.h"

namespace kaltra {
namespace {

using namespace accuracy;

bool referenceTablesPresent() {
    struct stat info;
    return stat(KALTRA_REFERENCE_DIR "/R410A/info.json", &info) == 0;
}

// A file of the given bytes in the temporary folder, removed at the end of the test.
struct ScratchFile {
    std::string path;
    explicit ScratchFile(const std::string& name, const std::string& text)
        : path(std::string(::testing::TempDir()) + name + "_" + std::to_string(::getpid())) {
        std::ofstream(path, std::ios::binary) << text;
    }
    ~ScratchFile() { std::remove(path.c_str()); }
};

TEST(ReferenceTable, ReadsHeaderCellsAndGaps) {
    // comments before and between rows, an empty cell, a text cell, a short row, a trailing
    // empty cell, and Windows line ends on some lines
    const ScratchFile file("table.csv",
                           "# a comment\n"
                           "T,p,phase,rho\r\n"
                           "250,1e5,liquid,1300.5\n"
                           "# another\n"
                           "260,,gas,x12\r\n"
                           "270,3.5e5\n"
                           "280,4e5,gas,\n"
                           "\r\n");
    Table table;
    ASSERT_TRUE(readTable(file.path, table));
    ASSERT_EQ(table.columns.size(), 4u);
    EXPECT_EQ(table.columns[3], "rho") << "the header's last name keeps no carriage return";
    ASSERT_EQ(table.values.size(), 4u) << "four rows; comments and the empty line are skipped";
    const int t = columnIndex(table, "T"), p = columnIndex(table, "p"), phase = columnIndex(table, "phase"),
              rho = columnIndex(table, "rho");
    EXPECT_EQ(columnIndex(table, "cv"), -1);
    EXPECT_EQ(valueAt(table, 0, t), 250.0);
    EXPECT_EQ(valueAt(table, 0, rho), 1300.5);
    EXPECT_TRUE(std::isnan(valueAt(table, 1, p))) << "an empty cell has no value";
    EXPECT_TRUE(std::isnan(valueAt(table, 1, rho))) << "a cell that is not a number has no value";
    EXPECT_EQ(table.cells[1][static_cast<std::size_t>(phase)], "gas");
    EXPECT_EQ(valueAt(table, 2, p), 3.5e5);
    EXPECT_TRUE(std::isnan(valueAt(table, 2, rho))) << "a short row's missing cells have no value";
    EXPECT_EQ(table.cells[2].size(), 4u);
    EXPECT_TRUE(std::isnan(valueAt(table, 3, rho))) << "a trailing empty cell has no value";
    EXPECT_TRUE(std::isnan(valueAt(table, 0, -1))) << "an absent column has no value";
}

TEST(ReferenceTable, MissingOrHeaderlessFileIsNotATable) {
    Table table;
    EXPECT_FALSE(readTable(std::string(::testing::TempDir()) + "no_such_table.csv", table));
    const ScratchFile onlyComments("comments.csv", "# nothing but a comment\n\n");
    EXPECT_FALSE(readTable(onlyComments.path, table));
}

TEST(ReferenceInfo, BrokenJsonIsRefused) {
    ReferenceInfo info;
    const ScratchFile broken("broken.json", "{\"T_critical_K\": 300, \"estimated\": tru");
    EXPECT_FALSE(readInfo(broken.path, info));
    const ScratchFile notObject("array.json", "[1, 2]");
    EXPECT_FALSE(readInfo(notObject.path, info));
    EXPECT_FALSE(readInfo(std::string(::testing::TempDir()) + "no_such_info.json", info));
}

TEST(ReferenceInfo, ReadsTheFieldsTheToolsTake) {
    const ScratchFile file("info.json",
                           "{\"library\": \"Lib\", \"library_version\": \"1.2\", \"library_git_revision\": "
                           "\"0123456789abcdef\", \"estimated\": true, \"T_critical_K\": 300.5, \"p_critical_Pa\": 4e6,"
                           " \"rho_critical_kg_m3\": 500, \"molar_mass_kg_per_mol\": 0.1,"
                           " \"eos_Tmin_K\": 1, \"requested_range\": {\"Tmin_K\": 150, \"Tmax_K\": 450.25, \"pmax_Pa\": 5e7},"
                           " \"blend\": {\"components\": [\"A\", \"B\"], \"mass_fractions\": [0.25, 0.75]}}");
    ReferenceInfo info;
    ASSERT_TRUE(readInfo(file.path, info));
    EXPECT_EQ(info.library, "Lib");
    EXPECT_EQ(info.libraryVersion, "1.2");
    EXPECT_EQ(info.libraryRevision, "0123456789abcdef");
    EXPECT_TRUE(info.estimated);
    EXPECT_EQ(info.critTempK, 300.5);
    EXPECT_EQ(info.critPressurePa, 4e6);
    EXPECT_EQ(info.critDensity, 500.0);
    EXPECT_EQ(info.molarMass, 0.1);
    EXPECT_EQ(info.rangeTMinK, 150.0) << "the range is requested_range's, not eos_Tmin_K";
    EXPECT_EQ(info.rangeTMaxK, 450.25);
    EXPECT_EQ(info.rangePMaxPa, 5e7);
    ASSERT_EQ(info.blendComponents.size(), 2u);
    EXPECT_EQ(info.blendMassFractions[1], 0.75);
}

TEST(ReferenceInfo, RealTablesOfAPureFluidABlendAndAnEstimate) {
    if (!referenceTablesPresent()) GTEST_SKIP() << "no reference tables";
    ReferenceInfo info;
    ASSERT_TRUE(readInfo(KALTRA_REFERENCE_DIR "/R410A/info.json", info));
    EXPECT_EQ(info.library, "CoolProp");
    EXPECT_EQ(info.libraryRevision.substr(0, 12), "ea27c6394887");
    EXPECT_FALSE(info.estimated);
    EXPECT_EQ(info.critTempK, 344.494);
    EXPECT_EQ(info.rangeTMinK, 200.0);
    EXPECT_EQ(info.rangeTMaxK, 500.0);
    EXPECT_EQ(info.rangePMaxPa, 49012000.0);
    ASSERT_TRUE(readInfo(KALTRA_REFERENCE_DIR "/R31/info.json", info));
    EXPECT_TRUE(info.estimated) << "R31's table is an estimate";

    // the blend's saturation table has bubble and dew pressures, the first row at the range's
    // lowest temperature
    Table sat;
    ASSERT_TRUE(readTable(KALTRA_REFERENCE_DIR "/R410A/sat.csv", sat));
    EXPECT_GE(columnIndex(sat, "p_bubble"), 0);
    EXPECT_EQ(columnIndex(sat, "p_sat"), -1);
    EXPECT_EQ(valueAt(sat, 0, columnIndex(sat, "T")), 200.0);
    Table single;
    ASSERT_TRUE(readTable(KALTRA_REFERENCE_DIR "/R134a/single.csv", single));
    const int phase = columnIndex(single, "phase");
    ASSERT_GE(phase, 0);
    EXPECT_FALSE(single.cells[0][static_cast<std::size_t>(phase)].empty());
}

}  // namespace
}  // namespace kaltra
