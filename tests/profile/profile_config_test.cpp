#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

#include "platform/runtime/app.h"
#include "mainwindow/form1.h"
#include "platform/runtime/vberror.h"
#include "platform/ui/ui.h"
#include "profile/profile_config.h"

namespace fs = std::filesystem;

namespace {

// A fresh program folder per test, and the row table as start-up leaves it
// before the configuration is read (rows created, rows 1 to 20 numbered).
class ProfileConfigFile : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zefprof-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        folder_ = tmpl;
        // The program's folder is the temporary folder; the file's path is
        // taken from it by the first read.
        vb::App::SetPath(folder_.string());
        ProfileConfigPath.clear();
        ResetTable();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
        ProfileConfigPath.clear();
        vb::App::ResetPath();
    }
    static void ResetTable() {
        ProfileRowTable.assign(kProfileRowCount, ProfileRowRecord{});
        for (int r = 1; r <= 20; ++r) ProfileRowTable[r].Id = static_cast<int16_t>(r);
    }
    std::vector<uint8_t> FileBytes() const {
        std::ifstream in(ProfileConfigPath, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void WriteBytes(const std::vector<uint8_t>& bytes) const {
        std::ofstream out(ProfileConfigPath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    fs::path folder_;
};

int16_t I16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<int16_t>(b[at] | (b[at + 1] << 8));
}
float F32(const std::vector<uint8_t>& b, size_t at) {
    uint32_t u = b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}
std::string Text(const std::vector<uint8_t>& b, size_t at, size_t n) {
    return std::string(reinterpret_cast<const char*>(&b[at]), n);
}
void PutF32(std::vector<uint8_t>& b, size_t at, float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(u >> (8 * i));
}
std::string Pad(const std::string& s, size_t n) { return s + std::string(n - s.size(), ' '); }

// The default stored rows: label, row height, colour, code ("" = never set),
// row height 0, Hspace, rotation, visible.
struct Expected {
    const char* label; float rowHeight; float color; const char* code;
    float rowHeight0; float hspace; float rotation; bool visible;
};
const Expected kDefaults[21] = {
    {"Item0", 0, 8, "", 120, 0, 0, true},
    {"Staition/Manhole", 1, 3, "", 0, 0, 0, true},
    {"Ground Elevation", 2, 3, "", 2, 4, 90, true},
    {"Invert Elevation", 2, 3, "", 2, 4, 90, true},
    {"Distance", 1, 3, "M", 1, 0, 0, true},
    {"KM", 2, 3, "", 0, 0, 90, true},
    {"Diameter", 1, 3, "M", 1, 0, 0, true},
    {"Slope", 1, 3, "M", 1, 0, 0, false},
    {"Lateral", 1, 3, "M", 0, 0, 0, false},
    {"Depth", 1, 3, "0", 1, 4, 90, false},
    {"Gr.Slope", 1, 3, "M", 0, 0, 0, false},
    {"Cover", 1, 3, "0", 0, 0, 90, false},
    {"Drop", 1, 3, "0", 1, 0.2f, 90, false},
    {"Qdesign", 0, 3, "", 0, 0.2f, 0, false},
    {"Vdesign", 0, 3, "", 0, 0.2f, 0, false},
    {"Qmax1", 0, 3, "", 0, 0.2f, 0, false},
    {"Vmax1 ", 0, 3, "", 0, 0.2f, 0, false},
    {"Line#", 0, 3, "", 0, 0, 0, false},
    {"Item18", 0, 3, "", 0, 0, 0, false},
    {"Item19", 0, 3, "", 0, 0, 0, false},
    {"Item20", 0, 3, "", 0, 0, 0, false},
};

TEST_F(ProfileConfigFile, FirstStartWritesTheDefaultRowsFieldByField) {
    LoadProfileConfig();
    EXPECT_EQ(ProfileConfigPath, (folder_ / "zefprof.cfg").string());
    const std::vector<uint8_t> b = FileBytes();
    ASSERT_GE(b.size(), 20 * kProfileSlotSize + kProfileRecordSize);
    ASSERT_LE(b.size(), 21 * kProfileSlotSize);
    for (int r = 0; r <= 20; ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        const Expected& e = kDefaults[r];
        const size_t s = static_cast<size_t>(r) * 128;
        EXPECT_EQ(I16(b, s + 0), r == 0 ? 0 : r);                      // Id from start-up
        EXPECT_EQ(Text(b, s + 2, 20), Pad(e.label, 20));
        EXPECT_EQ(F32(b, s + 22), 3.0f);                              // TextHeight
        EXPECT_EQ(F32(b, s + 26), e.rowHeight);
        EXPECT_EQ(Text(b, s + 30, 7), "ROMANS ");
        EXPECT_EQ(F32(b, s + 37), e.color);
        EXPECT_EQ(b[s + 41], e.code[0] ? static_cast<uint8_t>(e.code[0]) : 0);
        EXPECT_EQ(F32(b, s + 42), e.rowHeight0);
        EXPECT_EQ(F32(b, s + 46), e.hspace);
        EXPECT_EQ(F32(b, s + 50), 0.25f);                             // Vspace
        EXPECT_EQ(F32(b, s + 54), e.rotation);
        EXPECT_EQ(I16(b, s + 58), e.visible ? -1 : 0);
    }
    // The line styles stay in memory only.
    const char* styles[4] = {"Base line", "GR.line", "Axline", "project line"};
    const float colours[4] = {46, 2, 50, 4};
    for (int i = 0; i < 4; ++i) {
        const ProfileRowRecord& row = ProfileRowTable[21 + i];
        EXPECT_EQ(row.Label.Text(), Pad(styles[i], 20));
        EXPECT_EQ(row.Color, colours[i]);
        EXPECT_TRUE(row.Visible);
        EXPECT_EQ(row.TextHeight, 0.0f);
        EXPECT_EQ(row.Style.Text(), std::string(7, '\0'));
    }
    // Shown and hidden rows as the two lists present them.
    const auto shown = ProfileRowLabelList(true);
    ASSERT_EQ(shown.size(), 6u);
    EXPECT_EQ(shown[0], Pad("Staition/Manhole", 20));
    EXPECT_EQ(shown[5], Pad("Diameter", 20));
    EXPECT_EQ(ProfileRowLabelList(false).size(), 14u);
    // Nothing but the file is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(ProfileConfigFile, ReadingTheFileBackGivesTheSameRows) {
    LoadProfileConfig();
    const std::vector<ProfileRowRecord> written = ProfileRowTable;
    const std::vector<uint8_t> before = FileBytes();

    ResetTable();
    LoadProfileConfig();
    EXPECT_EQ(ProfileRowTable, written);
    EXPECT_EQ(FileBytes(), before);   // reading does not rewrite

    // A changed row comes back as it was written, Ids included.
    ProfileRowTable[3].Visible = false;
    ProfileRowTable[3].Rotation = 45.5f;
    ProfileRowTable[3].Id = -7;
    ProfileRowTable[3].Label = "Invert \xC3\xA9l.";   // Latin-1 character in UTF-8
    WriteProfileConfig();
    const std::vector<ProfileRowRecord> changed = ProfileRowTable;
    EXPECT_EQ(FileBytes()[3 * 128 + 2 + 7], 0xE9);    // stored as one 8-bit character
    ResetTable();
    LoadProfileConfig();
    EXPECT_EQ(ProfileRowTable, changed);
    EXPECT_EQ(ProfileRowTable[3].Label.Trimmed(), "Invert \xC3\xA9l.");
}

TEST_F(ProfileConfigFile, ShortOrDamagedFilesFillInDefaults) {
    LoadProfileConfig();
    std::vector<uint8_t> good = FileBytes();
    const std::vector<ProfileRowRecord> defaults = ProfileRowTable;

    // A file of two whole slots and half of the third record, with a changed
    // colour in row 1 and damaged numbers in rows 0 and 1.
    std::vector<uint8_t> shortFile(good.begin(), good.begin() + 2 * 128 + 30);
    PutF32(shortFile, 128 + 37, 5);                                          // row 1 Color
    PutF32(shortFile, 0 + 22, std::numeric_limits<float>::quiet_NaN());      // row 0 TextHeight
    PutF32(shortFile, 128 + 54, std::numeric_limits<float>::infinity());     // row 1 Rotation
    shortFile[2 * 128 + 2] = 'X';                                            // row 2 Label
    PutF32(shortFile, 128 + 22, 3.4e38f);                                    // row 1 TextHeight
    PutF32(shortFile, 0 + 54, -3.4e38f);                                     // row 0 Rotation
    PutF32(shortFile, 0 + 37, 1e6f);                                         // row 0 Color
    PutF32(shortFile, 128 + 46, 2e3f);                                       // row 1 Hspace
    PutF32(shortFile, 128 + 50, -0.5f);                                      // row 1 Vspace: sound
    PutF32(shortFile, 2 * 128 + 26, 9);                                      // row 2 RowHeight
    WriteBytes(shortFile);

    ResetTable();
    LoadProfileConfig();
    EXPECT_EQ(ProfileRowTable[1].Color, 5.0f);
    EXPECT_EQ(ProfileRowTable[0].TextHeight, 3.0f);
    EXPECT_EQ(ProfileRowTable[1].Rotation, 0.0f);
    // Numbers no row can sensibly hold are read as missing ones.
    EXPECT_EQ(ProfileRowTable[1].TextHeight, 3.0f);
    EXPECT_EQ(ProfileRowTable[0].Rotation, 0.0f);
    EXPECT_EQ(ProfileRowTable[0].Color, 8.0f);
    EXPECT_EQ(ProfileRowTable[1].Hspace, 0.0f);
    EXPECT_EQ(ProfileRowTable[1].Vspace, -0.5f);
    EXPECT_EQ(ProfileRowTable[2].Label.Trimmed(), "Xround Elevation");
    EXPECT_EQ(ProfileRowTable[2].RowHeight, 9.0f);
    // Fields beyond the end of the file, and the rows after it, are defaults.
    EXPECT_EQ(ProfileRowTable[2].Style, defaults[2].Style);
    EXPECT_EQ(ProfileRowTable[2].Color, 3.0f);
    EXPECT_EQ(ProfileRowTable[2].Rotation, 90.0f);
    EXPECT_TRUE(ProfileRowTable[2].Visible);
    for (int r = 3; r < kProfileRowCount; ++r) {
        EXPECT_EQ(ProfileRowTable[r], defaults[r]) << "row " << r;
    }
    // The damaged file is read, not replaced.
    EXPECT_EQ(FileBytes(), shortFile);

    // An empty file gives the defaults throughout.
    WriteBytes({});
    ResetTable();
    LoadProfileConfig();
    EXPECT_EQ(ProfileRowTable, defaults);

    // A file written with 60-byte records in its last slot only (no padding
    // after the last record) is read whole.
    good.resize(20 * 128 + 60);
    PutF32(good, 20 * 128 + 54, 30);
    WriteBytes(good);
    ResetTable();
    LoadProfileConfig();
    EXPECT_EQ(ProfileRowTable[20].Rotation, 30.0f);
}

// The file holds at most the 25 slots of rows 0 to 24 (3,200 bytes): a
// longer one is read up to there, told about, and left as it is.
TEST_F(ProfileConfigFile, OnlyTheSlotsOfTheRowsAreRead) {
    auto dialogs = std::make_shared<vb::ScriptedDialogs>();
    vb::DialogSinkScope scope(dialogs);
    LoadProfileConfig();
    std::vector<uint8_t> bytes = FileBytes();
    bytes.resize(25 * 128);
    ProfileRowRecord styled = ProfileRowTable[24];
    styled.Color = 7;
    styled.Visible = !styled.Visible;   // the last field of the last slot read
    const auto record = EncodeProfileRecord(styled);
    std::copy(record.begin(), record.end(), bytes.begin() + 24 * 128);   // the last line style, in slot 25
    PutF32(bytes, 5 * 128 + 54, 45);                                    // row 5 Rotation
    WriteBytes(bytes);
    ResetTable();
    LoadProfileConfig();
    EXPECT_EQ(ProfileRowTable[24].Color, 7.0f);
    EXPECT_EQ(ProfileRowTable[24].Visible, styled.Visible);
    EXPECT_EQ(ProfileRowTable[5].Rotation, 45.0f);
    EXPECT_TRUE(dialogs->Messages().empty());

    // One byte more: the same rows, the file left as it is, and no message
    // (a harmless longer file is no reason to stop the start-up).
    const std::vector<ProfileRowRecord> read = ProfileRowTable;
    bytes.push_back(0xFF);
    WriteBytes(bytes);
    ResetTable();
    LoadProfileConfig();
    EXPECT_EQ(ProfileRowTable, read);
    EXPECT_TRUE(dialogs->Messages().empty());
    EXPECT_EQ(FileBytes(), bytes);

    // 200 MB: read without being held, and kept whole.
    constexpr uintmax_t kLarge = 200'000'000;
    fs::resize_file(ProfileConfigPath, kLarge);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    ResetTable();
    LoadProfileConfig();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(ProfileRowTable, read);
    EXPECT_TRUE(dialogs->Messages().empty());
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 50'000) << "kilobytes more at the peak";
    EXPECT_EQ(fs::file_size(ProfileConfigPath), kLarge);
}

TEST_F(ProfileConfigFile, AFolderThatCannotBeWrittenKeepsTheRowsInMemory) {
    ProfileConfigPath = (folder_ / "missing" / "zefprof.cfg").string();
    ASSERT_NO_THROW(LoadProfileConfig());
    EXPECT_EQ(ProfileRowTable[5].Label.Trimmed(), "KM");
    EXPECT_FALSE(fs::exists(ProfileConfigPath));
    try {
        WriteProfileConfig();
        FAIL() << "writing into a missing folder succeeded";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), 75);
    }
}

// The main window's row lists as start-up leaves them: the rows read (or
// created) and listed, shown rows in List4 and hidden ones in List3.
class ProfileRowButtons : public ProfileConfigFile {
protected:
    void SetUp() override {
        ProfileConfigFile::SetUp();
        form_ = std::make_unique<Form1>();
        LoadProfileConfig();
        for (const std::string& l : ProfileRowLabelList(true)) form_->List4.AddItem(l);
        for (const std::string& l : ProfileRowLabelList(false)) form_->List3.AddItem(l);
    }
    std::vector<std::string> Items(const vb::ListBox& list) const {
        std::vector<std::string> items;
        for (int i = 0; i < list.ListCount(); ++i) items.push_back(vb::Trim(list.List(i)));
        return items;
    }
    // The label stored in slot r + 1 of the file.
    std::string StoredLabel(int r) { return vb::Trim(Text(FileBytes(), r * 128 + 2, 20)); }
    bool StoredVisible(int r) { return I16(FileBytes(), r * 128 + 58) != 0; }

    std::shared_ptr<vb::ScriptedDialogs> dialogs_ = std::make_shared<vb::ScriptedDialogs>();
    vb::DialogSinkScope scope_{dialogs_};
    std::unique_ptr<Form1> form_;
};

TEST_F(ProfileRowButtons, UpAndDownExchangeWholeRowsAndRewriteTheFile) {
    Form1& f = *form_;
    const ProfileRowRecord ground = ProfileRowTable[2];
    const ProfileRowRecord invert = ProfileRowTable[3];

    f.List4.ListIndex(2);   // "Invert Elevation"
    f.Command16_Click();
    EXPECT_EQ(ProfileRowTable[2], invert);
    EXPECT_EQ(ProfileRowTable[3], ground);
    EXPECT_EQ(ProfileRowTable[0], invert);   // the work row keeps the moved row
    EXPECT_EQ(ProfileRowTable[2].Id, 3);
    EXPECT_EQ(Items(f.List4), (std::vector<std::string>{"Staition/Manhole", "Invert Elevation",
                                                         "Ground Elevation", "Distance", "KM",
                                                         "Diameter"}));
    EXPECT_EQ(f.List4.ListIndex(), 1);
    EXPECT_EQ(StoredLabel(2), "Invert Elevation");
    EXPECT_EQ(StoredLabel(3), "Ground Elevation");
    EXPECT_EQ(StoredLabel(0), "Invert Elevation");
    EXPECT_EQ(I16(FileBytes(), 2 * 128), 3);   // the Id travels with the row

    // Down moves it back.
    f.Command1_Click();
    EXPECT_EQ(ProfileRowTable[2], ground);
    EXPECT_EQ(ProfileRowTable[3], invert);
    EXPECT_EQ(f.List4.ListIndex(), 2);
    EXPECT_EQ(StoredLabel(2), "Ground Elevation");
    // Selecting an item resets the view to the table area.
    EXPECT_EQ(ProfileOffsetX, 80);
    EXPECT_EQ(ProfileOffsetY, 10);
    EXPECT_DOUBLE_EQ(f.Picture1.ScaleWidth(), 160);
    EXPECT_DOUBLE_EQ(f.Picture1.ScaleHeight(), 150);
    EXPECT_TRUE(dialogs_->Messages().empty());
}

TEST_F(ProfileRowButtons, MovesSkipHiddenRowsBetweenShownOnes) {
    Form1& f = *form_;
    // Show "Slope" (row 7): it goes to the end of List4 and is selected.
    f.List3.ListIndex(0);
    f.Command21_Click();
    EXPECT_TRUE(ProfileRowTable[7].Visible);
    EXPECT_EQ(Items(f.List4).back(), "Slope");
    EXPECT_EQ(f.List4.ListIndex(), 6);
    EXPECT_EQ(f.List3.ListIndex(), -1);
    EXPECT_EQ(Items(f.List3).front(), "Lateral");
    EXPECT_TRUE(StoredVisible(7));

    // Hide "Diameter" (row 6): it goes to the end of List3.
    f.List4.ListIndex(5);
    f.Command20_Click();
    EXPECT_FALSE(ProfileRowTable[6].Visible);
    EXPECT_EQ(Items(f.List3).back(), "Diameter");
    EXPECT_EQ(f.List3.ListIndex(), -1);
    EXPECT_FALSE(StoredVisible(6));

    // "Slope" now sits below "KM" in List4, with the hidden "Diameter" between
    // them in row order: Up exchanges rows 7 and 5.
    const ProfileRowRecord km = ProfileRowTable[5];
    const ProfileRowRecord slope = ProfileRowTable[7];
    f.List4.ListIndex(5);
    ASSERT_EQ(vb::Trim(f.List4.Text()), "Slope");
    f.Command16_Click();
    EXPECT_EQ(ProfileRowTable[5], slope);
    EXPECT_EQ(ProfileRowTable[7], km);
    EXPECT_FALSE(ProfileRowTable[6].Visible);
    EXPECT_EQ(StoredLabel(5), "Slope");
    EXPECT_EQ(StoredLabel(7), "KM");
}

TEST_F(ProfileRowButtons, HidingOrShowingMovesOneRowEvenWhenLabelsRepeat) {
    Form1& f = *form_;
    // A file may name two rows alike: rows 5 and 9 both "KM", both shown, and
    // rows 7 and 10 both "Slope", both hidden.
    ProfileRowTable[9].Label = "KM";
    ProfileRowTable[9].Visible = true;
    ProfileRowTable[10].Label = "Slope";
    ProfileRowTable[11].Label = "Ground Elevation";   // hidden; row 2 is shown
    f.List4.Clear();
    f.List3.Clear();
    for (const std::string& l : ProfileRowLabelList(true)) f.List4.AddItem(l);
    for (const std::string& l : ProfileRowLabelList(false)) f.List3.AddItem(l);
    ASSERT_EQ(f.List4.ListCount(), 7);
    ASSERT_EQ(f.List3.ListCount(), 13);

    f.List4.ListIndex(4);   // the first "KM"
    f.Command20_Click();
    EXPECT_FALSE(ProfileRowTable[5].Visible);
    EXPECT_TRUE(ProfileRowTable[9].Visible);
    EXPECT_EQ(f.List4.ListCount(), 6);
    EXPECT_EQ(f.List3.ListCount(), 14);
    // The lists still show exactly the rows as they are.
    auto sorted = [](std::vector<std::string> v) { std::sort(v.begin(), v.end()); return v; };
    std::vector<std::string> shown, hidden;
    for (const std::string& l : ProfileRowLabelList(true)) shown.push_back(vb::Trim(l));
    for (const std::string& l : ProfileRowLabelList(false)) hidden.push_back(vb::Trim(l));
    EXPECT_EQ(sorted(Items(f.List4)), sorted(shown));
    EXPECT_EQ(sorted(Items(f.List3)), sorted(hidden));

    f.List3.ListIndex(0);   // "Slope", the first of the two
    ASSERT_EQ(vb::Trim(f.List3.Text()), "Slope");
    f.Command21_Click();
    EXPECT_TRUE(ProfileRowTable[7].Visible);
    EXPECT_FALSE(ProfileRowTable[10].Visible);
    EXPECT_EQ(f.List4.ListCount(), 7);
    EXPECT_EQ(f.List3.ListCount(), 13);
    shown.clear();
    hidden.clear();
    for (const std::string& l : ProfileRowLabelList(true)) shown.push_back(vb::Trim(l));
    for (const std::string& l : ProfileRowLabelList(false)) hidden.push_back(vb::Trim(l));
    EXPECT_EQ(sorted(Items(f.List4)), sorted(shown));
    EXPECT_EQ(sorted(Items(f.List3)), sorted(hidden));
    EXPECT_TRUE(StoredVisible(7));
    EXPECT_FALSE(StoredVisible(10));

    // The hidden "Ground Elevation" is row 11, not the shown row 2 of that name.
    const std::vector<std::string> hiddenItems = Items(f.List3);
    const auto at = std::find(hiddenItems.begin(), hiddenItems.end(), "Ground Elevation");
    ASSERT_NE(at, hiddenItems.end());
    f.List3.ListIndex(static_cast<int>(at - hiddenItems.begin()));
    f.Command21_Click();
    EXPECT_TRUE(ProfileRowTable[11].Visible);
    EXPECT_TRUE(StoredVisible(11));
    EXPECT_EQ(f.List4.ListCount(), 8);
    EXPECT_EQ(f.List3.ListCount(), 12);

    // "KM" in List4 is row 9 (row 5 of that name is hidden now): Up exchanges
    // row 9 with the row of the item above it, and the hidden row 5 stays.
    const std::vector<std::string> shownItems = Items(f.List4);
    const int km = static_cast<int>(
        std::find(shownItems.begin(), shownItems.end(), "KM") - shownItems.begin());
    ASSERT_GT(km, 0);
    ASSERT_LT(km, static_cast<int>(shownItems.size()));
    const int above = FindProfileRow(shownItems[km - 1], true);
    ASSERT_NE(above, 0);
    const ProfileRowRecord row5 = ProfileRowTable[5];
    const ProfileRowRecord row9 = ProfileRowTable[9];
    const ProfileRowRecord rowAbove = ProfileRowTable[above];
    f.List4.ListIndex(km);
    f.Command16_Click();
    EXPECT_EQ(ProfileRowTable[5], row5);
    EXPECT_EQ(ProfileRowTable[above], row9);
    EXPECT_EQ(ProfileRowTable[9], rowAbove);
    EXPECT_EQ(f.List4.ListCount(), 8);
}

TEST_F(ProfileRowButtons, NothingToMoveWritesNothing) {
    Form1& f = *form_;
    fs::remove(ProfileConfigPath);
    const std::vector<ProfileRowRecord> before = ProfileRowTable;

    f.List4.ListIndex(0);
    f.Command16_Click();                        // Up on the first item
    f.List4.ListIndex(f.List4.ListCount() - 1);
    f.Command1_Click();                         // Down on the last item
    f.List4.ListIndex(-1);
    f.Command16_Click();                        // nothing selected
    f.Command1_Click();
    f.Command20_Click();
    f.List3.ListIndex(-1);
    f.Command21_Click();

    EXPECT_FALSE(fs::exists(ProfileConfigPath));
    EXPECT_EQ(f.List4.ListCount(), 6);
    EXPECT_EQ(f.List3.ListCount(), 14);
    for (int r = 1; r <= 24; ++r) EXPECT_EQ(ProfileRowTable[r], before[r]) << "row " << r;
}

TEST_F(ProfileRowButtons, AFailedRewriteIsReportedAndTheChangeKept) {
    Form1& f = *form_;
    const std::vector<uint8_t> before = FileBytes();
    ProfileConfigPath = (folder_ / "gone" / "zefprof.cfg").string();
    f.List4.ListIndex(4);   // "KM"
    f.Command20_Click();
    ASSERT_EQ(dialogs_->Messages().size(), 1u);
    EXPECT_NE(dialogs_->Messages()[0].prompt.find("could not be saved"), std::string::npos);
    EXPECT_NE(dialogs_->Messages()[0].prompt.find(ProfileConfigPath), std::string::npos);
    EXPECT_FALSE(ProfileRowTable[5].Visible);
    EXPECT_EQ(Items(f.List3).back(), "KM");
    EXPECT_EQ(f.List4.ListCount(), 5);

    // Back in a folder that can be written, the next change stores both.
    ProfileConfigPath = (folder_ / "zefprof.cfg").string();
    EXPECT_EQ(FileBytes(), before);
    f.List4.ListIndex(1);
    f.Command1_Click();
    EXPECT_FALSE(StoredVisible(5));
    EXPECT_EQ(StoredLabel(2), "Invert Elevation");
}

// A file longer than the 21 slots the buttons write: slots 22 to 25 hold the
// line styles (rows 21 to 24) and more bytes follow.  Every button writes
// rows 0 to 20 into slots 1 to 21 and leaves every other byte as it was: the
// unused end of each slot, the line styles and the tail.
TEST_F(ProfileRowButtons, EveryButtonKeepsTheBytesBeyondTheRowsItWrites) {
    Form1& f = *form_;
    std::vector<uint8_t> bytes = FileBytes();
    ASSERT_EQ(bytes.size(), 21 * kProfileSlotSize);
    bytes.resize(4000);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % kProfileSlotSize >= kProfileRecordSize || i >= 21 * kProfileSlotSize) {
            bytes[i] = static_cast<uint8_t>(i * 7 + 3);
        }
    }
    const float colours[4] = {11, 12, 13, 14};
    for (int r = 21; r <= 24; ++r) {
        ProfileRowRecord style = ProfileRowTable[r];
        style.Color = colours[r - 21];
        const auto record = EncodeProfileRecord(style);
        std::copy(record.begin(), record.end(), bytes.begin() + r * kProfileSlotSize);
    }
    WriteBytes(bytes);

    auto expectOnlyTheRowsChanged = [&](const char* button) {
        SCOPED_TRACE(button);
        const std::vector<uint8_t> now = FileBytes();
        ASSERT_EQ(now.size(), bytes.size());
        for (int r = 0; r <= 20; ++r) {
            const auto record = EncodeProfileRecord(ProfileRowTable[r]);
            const size_t at = r * kProfileSlotSize;
            EXPECT_TRUE(std::equal(record.begin(), record.end(), now.begin() + at)) << "row " << r;
            EXPECT_TRUE(std::equal(now.begin() + at + kProfileRecordSize, now.begin() + at + kProfileSlotSize,
                                   bytes.begin() + at + kProfileRecordSize))
                << "end of slot " << r + 1;
        }
        EXPECT_TRUE(std::equal(now.begin() + 21 * kProfileSlotSize, now.end(),
                               bytes.begin() + 21 * kProfileSlotSize));
    };
    f.List4.ListIndex(2);
    f.Command16_Click();   // Up
    expectOnlyTheRowsChanged("Up");
    f.Command1_Click();    // Down
    expectOnlyTheRowsChanged("Down");
    f.List4.ListIndex(4);
    f.Command20_Click();   // shown to hidden
    expectOnlyTheRowsChanged("shown to hidden");
    f.List3.ListIndex(0);
    f.Command21_Click();   // hidden to shown
    expectOnlyTheRowsChanged("hidden to shown");
    EXPECT_TRUE(dialogs_->Messages().empty());

    // The next start reads the rows written and the line styles kept.
    const std::vector<ProfileRowRecord> written(ProfileRowTable.begin(), ProfileRowTable.begin() + 21);
    ResetTable();
    LoadProfileConfig();
    EXPECT_TRUE(std::equal(written.begin(), written.end(), ProfileRowTable.begin()));
    for (int r = 21; r <= 24; ++r) EXPECT_EQ(ProfileRowTable[r].Color, colours[r - 21]) << "row " << r;

    // A file shorter than the rows keeps the bytes it has past each record,
    // and gets zeros where it had none.
    bytes.resize(3 * kProfileSlotSize + 100);
    WriteBytes(bytes);
    f.List4.ListIndex(1);
    f.Command1_Click();
    const std::vector<uint8_t> grown = FileBytes();
    ASSERT_EQ(grown.size(), 21 * kProfileSlotSize);
    EXPECT_TRUE(std::equal(grown.begin() + 2 * 128 + 60, grown.begin() + 3 * 128, bytes.begin() + 2 * 128 + 60));
    EXPECT_EQ(grown[3 * 128 + 99], bytes[3 * 128 + 99]);
    EXPECT_EQ(grown[3 * 128 + 100], 0);
    EXPECT_EQ(grown[20 * 128 + 127], 0);
}

// A very long file is rewritten without being held in memory, and still
// whole.  Through a link, the file the link names is rewritten; a FIFO in the
// file's place is refused without waiting on it.
TEST_F(ProfileRowButtons, ALongFileALinkAndAFifo) {
    Form1& f = *form_;
    constexpr uintmax_t kLarge = 200'000'000;
    fs::resize_file(ProfileConfigPath, kLarge);
    {
        std::fstream io(ProfileConfigPath, std::ios::binary | std::ios::in | std::ios::out);
        io.seekp(static_cast<std::streamoff>(kLarge - 4));
        io.write("tail", 4);
    }
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    f.List4.ListIndex(2);
    f.Command16_Click();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_TRUE(dialogs_->Messages().empty());
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 50'000) << "kilobytes more at the peak";
    ASSERT_EQ(fs::file_size(ProfileConfigPath), kLarge);
    EXPECT_EQ(StoredLabel(2), "Invert Elevation");
    {
        std::ifstream in(ProfileConfigPath, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(kLarge - 8));
        char end[8] = {};
        in.read(end, 8);
        EXPECT_EQ(std::string(end, 8), std::string("\0\0\0\0tail", 8));
    }

    // Through a link to a file of another folder.
    const fs::path real = folder_ / "real" / "rows.cfg";
    fs::create_directory(folder_ / "real");
    std::vector<uint8_t> bytes = FileBytes();   // not the 200 MB: the first slots
    bytes.resize(25 * kProfileSlotSize + 1);
    bytes.back() = 0x5A;
    fs::remove(ProfileConfigPath);
    fs::create_symlink(real, ProfileConfigPath);
    WriteBytes(bytes);
    f.Command1_Click();
    EXPECT_TRUE(fs::is_symlink(ProfileConfigPath));
    EXPECT_EQ(StoredLabel(2), "Ground Elevation");
    EXPECT_EQ(FileBytes().size(), bytes.size());
    EXPECT_EQ(FileBytes().back(), 0x5A);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "real"), fs::directory_iterator()), 1);

    fs::remove(ProfileConfigPath);
    ASSERT_EQ(mkfifo(ProfileConfigPath.c_str(), 0600), 0);
    f.List4.ListIndex(2);
    f.Command16_Click();
    ASSERT_EQ(dialogs_->Messages().size(), 1u);
    EXPECT_NE(dialogs_->Messages()[0].prompt.find("not a regular file"), std::string::npos);
    EXPECT_EQ(dialogs_->Messages()[0].prompt, "The profile rows could not be saved to " + ProfileConfigPath +
                                                  ": Path/File access error (" + ProfileConfigPath +
                                                  " is a FIFO (named pipe), not a regular file)");
    EXPECT_TRUE(fs::is_fifo(ProfileConfigPath));
}

TEST_F(ProfileRowButtons, LeavingTheListClearsThePipeGridOnlyWithoutAPipe) {
    Form1& f = *form_;
    f.MSHFlexGrid2.Rows(3);
    f.MSHFlexGrid2.Cols(2);
    f.MSHFlexGrid2.TextMatrix(1, 1, "0.004");
    f.List2.AddItem("Se 1");
    f.List2.ListIndex(0);
    f.List4_LostFocus();
    EXPECT_EQ(f.MSHFlexGrid2.TextMatrix(1, 1), "0.004");
    f.List2.ListIndex(-1);
    f.List4_LostFocus();
    EXPECT_EQ(f.MSHFlexGrid2.TextMatrix(1, 1), "");
}

}  // namespace
