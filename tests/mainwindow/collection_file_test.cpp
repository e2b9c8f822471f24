// The collection file: a network saved from the main window comes back whole
// in a fresh window; bad, missing and unwritable files leave the network in
// memory and the file on disk as they were; the diagnostic relisting.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

#include "mainwindow/lateral_links.h"
#include "platform/runtime/files.h"
#include "platform/ui/picture.h"
#include "tests/mainwindow/form1_fixture.h"

namespace {

// Every node in tree order as "parent-key > key", with its record's stored
// fields (or the value's type name when it holds no record).
std::vector<std::string> Describe(model::cNodeCollection& col) {
    static const char* stored[] = {"Name", "Index", "lat", "l", "felv", "telv", "finv", "tinv", "dia", "slope",
                                   "qd", "x1", "y1", "x2", "y2", "mincover", "ma1", "ma2", "ma3", "ma4", "ma5",
                                   "from", "tom", "qadd", "pop1", "pop2", "area1", "area2", "density1", "density2"};
    std::vector<std::string> out;
    std::function<void(int32_t, const std::string&)> walk = [&](int32_t n, const std::string& parent) {
        for (; n != 0; n = col.NextSibling(vb::Variant(n))) {
            const std::string key = col.Key(vb::Variant(n));
            std::string line = parent + " > " + key + ":";
            const vb::Variant value = col.Item(vb::Variant(n));
            if (auto s = RecordOfValue(value)) {
                for (const char* p : stored) line += " " + vb::CStr(s->GetProperty(p));
            } else {
                line += " " + vb::TypeName(value);
            }
            out.push_back(line);
            walk(col.FirstChild(vb::Variant(n)), key);
        }
    };
    walk(col.FirstSibling(vb::Variant(int32_t(0))), "");
    return out;
}

// A 2 x 1 pixel 24-bit BMP.
void WriteTinyBmp(const std::string& path) {
    const uint8_t bmp[] = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0,
                           1, 0, 24, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                           0, 0, 255, 255, 0, 0, 0, 0};
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bmp), sizeof bmp);
}

}  // namespace

class CollectionFileTest : public Form1Test {
protected:
    std::string FilePath() { return (dir_ / "SavedCol.dat").string(); }
    std::vector<uint8_t> FileBytes() { return vb::ReadFileBytes(FilePath()).value_or(std::vector<uint8_t>{}); }

    // Lateral1 with two pipes (the second holding a picture in element 1),
    // Lateral2 with three, a test line and a table node.
    void BuildNetwork() {
        f().Command7_Click();
        WriteTinyBmp((dir_ / "tiny.bmp").string());
        f().Image1.Picture(vb::LoadPicture((dir_ / "tiny.bmp").string()));
        f().Command7_Click();
        f().Image1.Picture(nullptr);
        f().Command6_Click();
        for (int i = 0; i < 3; ++i) f().Command7_Click();
        f().AddTestline();
        f().Testarray_Click();
        int k = 0;
        for (const char* name : {"Se 2", "Se 3", "Se 4", "Se 5", "Se 6"}) {
            auto s = Rec(name);
            ASSERT_TRUE(s) << name;
            s->from = "MH" + std::to_string(++k);
            s->tom = "MH" + std::to_string(k + 1);
            s->pop1 = 120.5f * k;
            s->area2 = 0.25f * k;
            s->x2 = 1000.75f + k;
            s->ma3 = static_cast<int16_t>(-k);
        }
        // Three sheets (keys "ObjSheet2" to "ObjSheet4", after the test line).
        for (int i = 0; i < 3; ++i) f().Command5_Click();
        // Draw Lateral1 once, so that its levels are those every redraw gives.
        f().List1.ListIndex(-1);
        f().List1.ListIndex(0);
    }
};

TEST_F(CollectionFileTest, SavedNetworkComesBackWholeInAFreshWindow) {
    BuildNetwork();
    const std::vector<std::string> before = Describe(*f().myCol);
    const auto lat2Pipes = f().myCol->ChildCount(vb::Variant("ObjLateral2"));
    ASSERT_EQ(lat2Pipes, 3);

    dialogs().ClearLog();
    f().cmdSaveCollection(0).Click();   // through the button's wiring
    EXPECT_EQ(Prompts(), std::vector<std::string>{"Save    "});
    EXPECT_EQ(PipeCount + LateralCount + SheetCount, 0);
    const std::vector<uint8_t> saved = FileBytes();
    ASSERT_FALSE(saved.empty());

    // A fresh window (a new process would start this way) reloads the file.
    form_.reset();
    PipeCount = LateralCount = SheetCount = 0;
    form_ = std::make_unique<ProbedForm1>();
    form_->Load();
    dialogs().ClearLog();
    f().cmdSaveCollection_Click(1);

    EXPECT_EQ(Describe(*f().myCol), before);
    EXPECT_EQ(f().Caption(), "Collection Count: " + std::to_string(before.size()));
    // Messages: the file was opened, then the pipe count after relisting
    // (five pipes in the two laterals).
    EXPECT_EQ(Prompts(), (std::vector<std::string>{"file Open", "5"}));
    // Only laterals are listed and a lateral (not "Sewer") is current.
    ASSERT_EQ(f().List1.ListCount(), 2);
    EXPECT_EQ(f().List1.List(1), "Lateral2");
    EXPECT_EQ(CurrentLateralName, "Lateral1");
    EXPECT_EQ(TabCaptions(f().UserControl11), (std::vector<std::string>{"Lateral1", "Lateral2"}));
    EXPECT_EQ(RunCount, 2);
    // The counters: pipes as the relisting counts them, laterals the two
    // lateral keys and then the relisting's one per lateral, sheets the
    // three sheet keys.
    EXPECT_EQ((std::vector<int32_t>{PipeCount, LateralCount, SheetCount}), (std::vector<int32_t>{5, 4, 3}));
    // The picture, the test line and the table are back too.
    auto picture = f().myCol->Item(vb::Variant("ObjSe 3")).Element(1).As<vb::StdPicture>();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->WidthPixels(), 2);
    auto line = f().myCol->Item(vb::Variant("Tobjline1")).As<model::Testline>();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->Name, "Testline1");
    EXPECT_EQ(line->Index, 109);
    const vb::Variant table = f().myCol->Item(vb::Variant("ObjSewer7")).Element(0);
    EXPECT_EQ(vb::CStr(table.Element({1, 1})), "107");
    EXPECT_EQ(vb::CStr(table.Element({3, 1})), "-3");

    // Saving the reloaded network gives the same bytes; a smaller network
    // replaces the file completely.
    f().cmdSaveCollection_Click(0);
    EXPECT_EQ(FileBytes(), saved);
    f().myCol->RemoveItem(vb::Variant("ObjLateral2"));
    f().cmdSaveCollection_Click(0);
    EXPECT_LT(FileBytes().size(), saved.size());
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(CollectionFileTest, BadOrMissingFileKeepsTheNetworkInMemory) {
    BuildNetwork();
    const std::vector<std::string> before = Describe(*f().myCol);
    const std::string caption = f().Caption();
    f().cmdSaveCollection_Click(0);
    const std::vector<uint8_t> good = FileBytes();

    std::mt19937 rng(7);
    std::vector<uint8_t> noise(good.size());
    for (auto& b : noise) b = static_cast<uint8_t>(rng());
    struct Case {
        const char* what;
        std::optional<std::vector<uint8_t>> bytes;   // nullopt: no file
    };
    const Case cases[] = {
        {"truncated", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(good.size() / 2))},
        {"random bytes", noise},
        {"empty", std::vector<uint8_t>{}},
        {"missing", std::nullopt},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(FilePath());
        if (c.bytes) {
            ASSERT_TRUE(vb::WriteFileAtomic(FilePath(), *c.bytes)) << c.what;
        }
        dialogs().ClearLog();
        f().cmdSaveCollection_Click(1);
        EXPECT_EQ(Describe(*f().myCol), before) << c.what;
        EXPECT_EQ(f().Caption(), caption) << c.what;
        EXPECT_EQ(LateralCount, 2) << c.what;   // counted by the relisting alone
        const auto& m = dialogs().Messages();
        ASSERT_EQ(m.size(), 3u) << c.what;
        EXPECT_EQ(m[0].prompt, c.bytes ? "file Open" : "No saved collection found") << c.what;
        EXPECT_EQ(m[0].buttons, c.bytes ? vb::vbOKOnly : vb::vbInformation) << c.what;
        EXPECT_EQ(m[1].prompt, "Corrupt or Invalid Collection") << c.what;
        EXPECT_EQ(m[1].title, "Failed to Load the Collection") << c.what;
        EXPECT_EQ(m[1].buttons, vb::vbInformation) << c.what;
        EXPECT_EQ(m[2].prompt, "5") << c.what;
        EXPECT_EQ(f().List1.ListCount(), 2) << c.what;
        EXPECT_EQ(CurrentLateralName, "Lateral1") << c.what;
    }
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(CollectionFileTest, FailedSaveLeavesTheOldFileByteForByte) {
    f().cmdSaveCollection_Click(0);
    const std::vector<uint8_t> old = FileBytes();
    ASSERT_FALSE(old.empty());
    f().Command7_Click();

    // An object the file cannot hold: the save fails and says so.
    f().myCol->AddItem(vb::Variant(std::make_shared<model::lat>()), "ObjLink", vb::Variant(std::string()), 2);
    dialogs().ClearLog();
    f().cmdSaveCollection_Click(0);
    EXPECT_EQ(Prompts(), (std::vector<std::string>{"Failed to save Collection", "Save    "}));
    EXPECT_EQ(FileBytes(), old);
    f().myCol->RemoveItem(vb::Variant("ObjLink"));

    // A folder without write access: saved by an unprivileged child process,
    // since the owner of the folder may write whatever its mode says.
    ASSERT_EQ(chmod(dir_.c_str(), 0555), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && setuid(65534) != 0) _exit(3);
        dialogs().ClearLog();
        f().cmdSaveCollection_Click(0);
        const auto& m = dialogs().Messages();
        const bool told = m.size() == 2 && m[0].prompt.rfind("Failed to save Collection", 0) == 0 &&
                          m[1].prompt == "Save    ";
        _exit(told ? 0 : 4);
    }
    int status = 0;
    waitpid(child, &status, 0);
    chmod(dir_.c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(FileBytes(), old);
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) left.push_back(e.path().filename().string());
    EXPECT_EQ(std::count(left.begin(), left.end(), "SavedCol.dat"), 1);
    EXPECT_EQ(left.size(), 2u);   // the file and the profile-row file, no temporary left

    // An empty network gives no bytes: no file is written.
    f().myCol = f().NewNetworkCollection();
    dialogs().ClearLog();
    f().cmdSaveCollection_Click(0);
    EXPECT_EQ(Prompts(), (std::vector<std::string>{"Failed to save Collection", "Save    "}));
    EXPECT_EQ(FileBytes(), old);
}

TEST_F(CollectionFileTest, RelistingCountsPipesAndKeepsLateralNames) {
    // Testarray twice from PipeCount 1: nodes ObjSewer2 and ObjSewer3.
    f().Testarray_Click();
    f().Testarray_Click();
    EXPECT_EQ(f().List1.List(1), "102");
    EXPECT_EQ(f().List1.List(2), "103");
    EXPECT_TRUE(f().myCol->KeyExists("ObjSewer3"));

    f().Command7_Click();
    f().Command7_Click();
    f().Command7_Click();
    f().Command6_Click();
    f().Command7_Click();
    f().Command7_Click();
    // A top-level picture node as the canvas stores it, and one whose last
    // element is the picture.
    WriteTinyBmp((dir_ / "tiny.bmp").string());
    const vb::Variant picture(std::static_pointer_cast<vb::Object>(vb::LoadPicture((dir_ / "tiny.bmp").string())));
    auto record = std::make_shared<model::Sewer>();
    record->Name = "Picture1";
    AddRecordNode(*f().myCol, record, "", vb::Variant(), picture);
    vb::Variant last = NewNodeValueArray();
    last.SetElement(3, picture);
    f().myCol->AddItem(last, "ObjIcon", vb::Variant(std::string()), 2);
    f().Image1.Picture(nullptr);
    const int32_t pipes = PipeCount, laterals = LateralCount;
    f().Cmdtest_Click();
    EXPECT_EQ(PipeCount, pipes + 5);
    EXPECT_EQ(LateralCount, laterals + 2);
    // Each pipe keeps the lateral it belongs to.
    for (int32_t n = f().myCol->FirstChild(vb::Variant("ObjLateral1")); n != 0;
         n = f().myCol->NextSibling(vb::Variant(n)))
        EXPECT_EQ(NodeRecordByIndex(f().myCol.get(), n)->lat, "Lateral1");
    EXPECT_EQ(f().List1.ListCount(), 2);
    EXPECT_EQ(CurrentLateralName, "Lateral1");
    EXPECT_EQ(TabCaptions(f().UserControl11), (std::vector<std::string>{"Lateral1", "Lateral2"}));
    EXPECT_TRUE(f().myCol->KeyExists("ObjSewer3"));
    EXPECT_TRUE(f().Image1.Picture());
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
    EXPECT_TRUE(dialogs().Messages().empty());

    // The inspector names the object in the last element of a node's value.
    f().InspectObject(vb::Variant("ObjLateral2"));
    f().InspectObject(vb::Variant("ObjIcon"));
    EXPECT_EQ(Prompts(), (std::vector<std::string>{"Lateral2", "Icon: 2x1"}));
    EXPECT_EQ(f().List2.List(f().List2.ListCount() - 1), "Icon: 2x1");
}

// A lateral linked to a pipe with the pickers stays linked to that pipe when
// other nodes are removed or moved and when the network goes through the file
// or its bytes; ma values that are no such pair keep their numbers.
TEST_F(CollectionFileTest, PickerLinksFollowTheirNodesThroughRemovalsAndTheFile) {
    auto index = [&](const std::string& name) { return f().myCol->KeyToIndex("Obj" + name); };
    auto pick = [&](const std::string& pipe, bool second, const std::string& lateral) {
        f().List1.ListIndex(0);   // Lateral1
        ASSERT_EQ(CurrentLateralName, "Lateral1");
        for (int i = 0; i < f().List2.ListCount(); ++i)
            if (f().List2.List(i) == pipe) f().List2.ListIndex(i);
        ASSERT_EQ(f().picfrom.Tag(), std::to_string(index(pipe)));   // the redraw put the pickers there
        second ? f().picfrom1_MouseDown(1, 0, 0, 0) : f().picfrom_MouseDown(1, 0, 0, 0);
        for (int i = 0; i < f().Combo1.ListCount(); ++i)
            if (f().Combo1.List(i) == lateral) f().Combo1.ListIndex(i);
    };
    // Both halves of a link name each other's node.
    auto linked = [&](const std::string& pipe, bool second, const std::string& lateral) {
        auto p = Rec(pipe);
        auto l = Rec(lateral);
        if (!p || !l) return ::testing::AssertionFailure() << "missing node";
        const int32_t field = second ? p->ma3 : p->ma2;
        if (field == index(lateral) && l->ma1 == index(pipe)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << pipe << " names " << field << ", " << lateral << " (" << index(lateral)
                                             << ") names " << l->ma1 << ", " << pipe << " is " << index(pipe);
    };
    auto labels = [&] {
        std::vector<std::string> out;
        for (const auto& e : f().Picture1.DrawLog())
            if (e.kind == vb::DrawEntry::Kind::Text && e.text.rfind("From", 0) == 0) out.push_back(e.text);
        return out;
    };

    for (int i = 0; i < 4; ++i) f().Command7_Click();   // Se 2 to Se 5 on Lateral1
    f().Command6_Click();                                // Lateral2 with Se 6 and Se 7
    f().Command7_Click();
    f().Command7_Click();
    f().Command6_Click();                                // Lateral3, the last node
    pick("Se 2", false, "Lateral2");
    pick("Se 3", true, "Lateral3");
    ASSERT_TRUE(linked("Se 2", false, "Lateral2"));
    ASSERT_TRUE(linked("Se 3", true, "Lateral3"));
    // Numbers that are no link: a pipe as an import leaves it (one number
    // names a lateral that does not name it back) and a pipe-size row.
    auto imported = Rec("Se 4");
    imported->ma1 = 9;
    imported->ma2 = static_cast<int16_t>(index("Lateral1"));
    imported->ma3 = 4;
    auto size = Rec("Diameter3");
    size->ma1 = 7;
    size->ma2 = 2;
    auto untouched = [&] {
        auto s = Rec("Se 4");
        auto d = Rec("Diameter3");
        return s->ma1 == 9 && s->ma2 == imported->ma2 && s->ma3 == 4 && d->ma1 == 7 && d->ma2 == 2;
    };

    // Removing another node renumbers the last node, Lateral3; a move
    // changes the tree order that the file follows.
    f().MM1.Tag("-Diameter2");
    f().Form_Click();
    ASSERT_FALSE(Rec("Diameter2"));
    EXPECT_TRUE(linked("Se 3", true, "Lateral3"));
    EXPECT_TRUE(linked("Se 2", false, "Lateral2"));
    f().myCol->MoveItem(vb::Variant("ObjSe 2"), vb::Variant("ObjSe 5"), 2);
    EXPECT_TRUE(untouched());

    // Save leaves the network in memory as it was; a fresh window reloads it.
    const std::vector<std::string> before = Describe(*f().myCol);
    f().cmdSaveCollection_Click(0);
    EXPECT_EQ(Describe(*f().myCol), before);
    form_.reset();
    form_ = std::make_unique<ProbedForm1>();
    form_->Load();
    f().cmdSaveCollection_Click(1);
    EXPECT_TRUE(linked("Se 2", false, "Lateral2"));
    EXPECT_TRUE(linked("Se 3", true, "Lateral3"));
    EXPECT_TRUE(untouched());
    // The profile labels the joining lateral at its pipe.
    f().List1.ListIndex(0);
    for (int i = 0; i < f().List2.ListCount(); ++i)
        if (f().List2.List(i) == "Se 2") f().List2.ListIndex(i);
    EXPECT_EQ(labels(), (std::vector<std::string>{"FromLateral3", "FromLateral2"}));

    // The relisting's round trip, then the removal of a pipe of Lateral1.
    f().Cmdtest_Click();
    EXPECT_TRUE(linked("Se 2", false, "Lateral2"));
    EXPECT_TRUE(linked("Se 3", true, "Lateral3"));
    // A removed half takes the other's field to 0 instead of another node.
    f().MM1.Tag("-Lateral2");
    f().Form_Click();
    EXPECT_EQ(Rec("Se 2")->ma2, 0);
    EXPECT_TRUE(linked("Se 3", true, "Lateral3"));
    f().List2.Clear();
    f().List2.AddItem("Se 3");
    f().List2.ListIndex(0);
    f().DeleteSelectedNode(0);
    ASSERT_FALSE(Rec("Se 3"));
    EXPECT_EQ(Rec("Lateral3")->ma1, 0);
    EXPECT_TRUE(untouched());

    // The 16-bit fields hold indices up to 32767; a link to a higher one is
    // cleared on both sides rather than wrapped to a negative number.
    const std::vector<LateralLink> links{{"ObjSe 5", false, "ObjLateral1"}};
    WriteLateralLinks(*f().myCol, links, [](const std::string& key) { return key == "ObjSe 5" ? 5 : 32767; });
    EXPECT_EQ(Rec("Se 5")->ma2, 32767);
    EXPECT_EQ(Rec("Lateral1")->ma1, 5);
    WriteLateralLinks(*f().myCol, links, [](const std::string& key) { return key == "ObjSe 5" ? 5 : 32768; });
    EXPECT_EQ(Rec("Se 5")->ma2, 0);
    EXPECT_EQ(Rec("Lateral1")->ma1, 0);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// A file whose bytes are sound but whose numbers no editor could store: one
// with a number that is infinite or not a number is refused and the network
// in memory stays; one with huge finite values loads, and every view and
// command then works without an error box, showing the values as they are.
TEST_F(CollectionFileTest, NumbersNoEditorStoresAreRefusedOrShownAsTheyAre) {
    for (int i = 0; i < 3; ++i) f().Command7_Click();   // Se 2 to Se 4 on Lateral1
    f().Command6_Click();                                // Lateral2 with Se 5
    f().Command7_Click();
    constexpr float kHuge = 3.4e38f;
    for (const char* name : {"Se 3", "Se 4"}) {
        auto s = Rec(name);
        s->l = kHuge;
        s->felv = kHuge;
        s->telv = -kHuge;
        s->finv = kHuge;
        s->tinv = -kHuge;
        s->mincover = -kHuge;
        s->qd = kHuge;
        s->dia = 32767;
        s->x1 = kHuge;
        s->y2 = -kHuge;
    }
    Rec("Se 3")->slope = kHuge;
    Rec("Se 4")->slope = -kHuge;
    Rec("Lateral1")->l = kHuge;
    f().List1.ListIndex(0);   // drawn once, so that the levels are those every redraw gives
    const std::vector<std::string> before = Describe(*f().myCol);
    const std::string caption = f().Caption();
    auto allFinite = [&] {
        for (int32_t n = 1; n <= f().myCol->ItemCount(); ++n) {
            auto s = NodeRecordByIndex(f().myCol.get(), n);
            if (!s) continue;
            for (const std::string& property : model::Sewer::PropertyNames()) {
                const vb::Variant v = s->GetProperty(property);
                if (v.Type() == vb::vbSingle && !std::isfinite(v.RawSingle()))
                    return ::testing::AssertionFailure() << s->Name << " " << property;
            }
        }
        return ::testing::AssertionSuccess();
    };
    EXPECT_TRUE(allFinite());

    // Numbers that are not finite, each in a file of its own.
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Case {
        std::string node, field;
        float value;
        std::string told;
    };
    const Case cases[] = {
        {"Se 3", "l", nan, "Se 3: l"},
        {"Se 2", "felv", inf, "Se 2: felv"},
        {"Lateral1", "slope", -inf, "Lateral1: slope"},
        {"Se 5", "Mincover", nan, "Se 5: mincover"},
        {"", "", nan, "Level: a value"},   // a plain number as a node's value
    };
    for (const Case& c : cases) {
        if (c.node.empty()) {
            f().myCol->AddItem(vb::Variant(static_cast<double>(c.value)), "ObjLevel", vb::Variant(std::string()), 2);
        }
        const vb::Variant kept = c.node.empty() ? vb::Variant() : Rec(c.node)->GetProperty(c.field);
        if (!c.node.empty()) Rec(c.node)->LetProperty(c.field, vb::Variant(c.value));
        const auto bytes = f().NetworkBytes();
        if (c.node.empty()) {
            f().myCol->RemoveItem(vb::Variant("ObjLevel"));
        } else {
            Rec(c.node)->LetProperty(c.field, kept);
        }
        ASSERT_TRUE(bytes) << c.told;
        ASSERT_TRUE(vb::WriteFileAtomic(FilePath(), *bytes));
        dialogs().ClearLog();
        f().cmdSaveCollection(1).Click();
        EXPECT_EQ(Describe(*f().myCol), before) << c.told;
        EXPECT_EQ(f().Caption(), caption) << c.told;
        const auto& m = dialogs().Messages();
        ASSERT_EQ(m.size(), 3u) << c.told;
        EXPECT_EQ(m[0].prompt, "file Open");
        EXPECT_EQ(m[1].prompt.rfind("Corrupt or Invalid Collection\r\n" + c.told + " is infinite or not a number", 0),
                  0u) << m[1].prompt;
        EXPECT_EQ(m[1].title, "Failed to Load the Collection");
        EXPECT_EQ(m[1].buttons, vb::vbInformation);
    }

    // Huge finite values load in a fresh window.
    f().cmdSaveCollection_Click(0);
    form_.reset();
    form_ = std::make_unique<ProbedForm1>();
    form_->Load();
    dialogs().ClearLog();
    f().cmdSaveCollection_Click(1);
    EXPECT_EQ(Describe(*f().myCol), before);
    EXPECT_EQ(Prompts(), (std::vector<std::string>{"file Open", "4"}));

    // Choosing the lateral and each pipe, adding pipes both ways, the DXF
    // export and the project window's tables: no box, nothing stored that
    // is not finite, and nothing drawn at a place the picture cannot hold.
    dialogs().ClearLog();
    f().List1.ListIndex(0);
    ASSERT_EQ(f().List2.ListCount(), 3);
    for (int i = 0; i < 3; ++i) {
        f().List2.ListIndex(i);
        for (const auto& e : f().Picture1.DrawLog()) {
            if (e.kind != vb::DrawEntry::Kind::Line && e.kind != vb::DrawEntry::Kind::Text &&
                e.kind != vb::DrawEntry::Kind::Box)
                continue;
            for (double v : {e.x1, e.y1, e.x2, e.y2}) ASSERT_LT(std::fabs(v), 1e9) << f().List2.List(i);
        }
        for (vb::PictureBox* handle : {&f().PGR(1), &f().plen(1), &f().pcover(1), &f().Picdia(1), &f().picfrom})
            EXPECT_TRUE(std::fabs(handle->Left()) < 1e9 && std::fabs(handle->Top()) < 1e9) << f().List2.List(i);
    }
    f().List2.ListIndex(1);   // Se 3, shown as it is
    const std::string length = f().MSHFlexGrid2.TextMatrix(5, 1);
    EXPECT_EQ(length.rfind("3.39999995214436E+38", 0), 0u) << length;
    f().Command7_Click();
    f().List1.ListIndex(0);
    f().List2.ListIndex(2);
    f().Command3_Click();
    const std::string dxf = (dir_ / "huge.dxf").string();
    dialogs().QueueFile(dxf);
    f().Commanddel_Click();
    f().Command26_Click();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"DXF Saved"});
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
    EXPECT_TRUE(allFinite());
    const std::string written = vb::ReadFileBytes(dxf).has_value() ? std::string("yes") : std::string();
    EXPECT_FALSE(written.empty());

    // The network saved now loads again, still holding the huge values.
    dialogs().ClearLog();
    f().cmdSaveCollection_Click(0);
    f().cmdSaveCollection_Click(1);
    ASSERT_GE(Prompts().size(), 2u);
    EXPECT_EQ(Prompts()[1], "file Open");
    EXPECT_EQ(Prompts().size(), 3u) << Prompts()[2];
    EXPECT_EQ(Rec("Se 3")->l, kHuge);
    EXPECT_EQ(Rec("Se 4")->dia, 32767);
}

// Save refuses a network that Re-Load would refuse: a number that is
// infinite or not a number in a field the file keeps is named with its node
// and field, nothing is written and the file saved before stays byte for
// byte, with no temporary file beside it.  A field the file does not keep
// (the chainage x3) is no reason to refuse, as Re-Load never sees it.
TEST_F(CollectionFileTest, SaveRefusesWhatReLoadWouldRefuseAndKeepsTheOldFile) {
    for (int i = 0; i < 2; ++i) f().Command7_Click();   // Se 2, Se 3 on Lateral1
    f().cmdSaveCollection_Click(0);
    const std::vector<uint8_t> old = FileBytes();
    ASSERT_FALSE(old.empty());
    auto left = [&] {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> files = left();

    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Case {
        std::function<void()> force, undo;
        std::string told;
    };
    const Case cases[] = {
        {[&] { Rec("Se 2")->l = inf; }, [&] { Rec("Se 2")->l = 50; }, "Se 2: l"},
        {[&] { Rec("Se 3")->mincover = nan; }, [&] { Rec("Se 3")->mincover = 2; }, "Se 3: mincover"},
        {[&] { Rec("Lateral1")->y2 = -inf; }, [&] { Rec("Lateral1")->y2 = 0; }, "Lateral1: y2"},
        {[&] { f().myCol->AddItem(vb::Variant(-std::numeric_limits<double>::infinity()), "ObjLevel",
                                  vb::Variant(std::string()), 2); },
         [&] { f().myCol->RemoveItem(vb::Variant("ObjLevel")); }, "Level: a value"},
    };
    for (const Case& c : cases) {
        c.force();
        const std::vector<std::string> inMemory = Describe(*f().myCol);
        dialogs().ClearLog();
        f().cmdSaveCollection(0).Click();
        EXPECT_EQ(Prompts(), (std::vector<std::string>{"Failed to save Collection\r\n" + c.told +
                                                           " is infinite or not a number, which no editor can store; "
                                                           "nothing was saved, and " + FilePath() + " is kept as it was.",
                                                       "Save    "}));
        EXPECT_EQ(FileBytes(), old) << c.told;
        EXPECT_EQ(left(), files) << c.told;
        EXPECT_EQ(Describe(*f().myCol), inMemory) << c.told;
        c.undo();
    }

    // A chainage the file does not keep is no reason to refuse: the save
    // goes on, and what was saved loads.
    Rec("Se 2")->x3 = inf;
    Rec("Se 2")->pop1 = 7;
    dialogs().ClearLog();
    f().cmdSaveCollection_Click(0);
    EXPECT_EQ(Prompts(), std::vector<std::string>{"Save    "});
    EXPECT_NE(FileBytes(), old);
    f().cmdSaveCollection_Click(1);
    EXPECT_EQ(Prompts().at(1), "file Open");
    EXPECT_EQ(Prompts().size(), 3u) << Prompts().at(2);
    EXPECT_EQ(Rec("Se 2")->pop1, 7);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// What Save writes, Re-Load reads: every field the file keeps, at the
// extremes of its type (largest and smallest finite singles and doubles,
// negative, denormal, -0, the ends of 16- and 32-bit integers, empty and long
// texts), comes back bit for bit in a fresh window.
TEST_F(CollectionFileTest, ExtremesOfEveryFieldComeBackBitForBit) {
    static const char* const kSingles[] = {"qadd", "pop1", "pop2", "area1", "area2", "density1", "density2",
                                           "felv", "telv", "finv", "tinv", "l", "qd", "slope", "mincover",
                                           "x1", "y1", "x2", "y2"};
    static const char* const kIntegers[] = {"dia", "ma1", "ma2", "ma3", "ma4", "ma5"};
    using F = std::numeric_limits<float>;
    using D = std::numeric_limits<double>;
    const float singles[][4] = {{F::max(), -F::max(), F::min(), -F::min()},
                                {F::denorm_min(), -F::denorm_min(), -0.0f, 3.4e38f},
                                {0.1f, -123456.7f, 1e-38f, -1e-44f}};
    const int16_t integers[][2] = {{32767, -32768}, {-1, 0}, {1, -32767}};
    const int32_t longs[] = {2147483647, INT32_MIN, 0};
    std::string longText;
    for (int i = 0; i < 20000; ++i) longText += "a\xC3\x9F\xE6\xB0\xB4\xF0\x9F\x98\x80 ";   // a, sharp s, water, a face
    const std::string texts[][4] = {{"", "", "", ""}, {longText, longText, longText, longText}, {"x", "-", " ", "0"}};
    const double doubles[][3] = {{D::max(), D::lowest(), D::min()}, {D::denorm_min(), -D::denorm_min(), -0.0},
                                 {F::max(), 1e-310, -1e300}};

    // Three top-level records (no lateral, so no redraw touches their
    // levels), each with doubles in its value's elements 0 to 2.
    for (int r = 0; r < 3; ++r) {
        auto s = std::make_shared<model::Sewer>();
        s->Name = "Extreme" + std::to_string(r);
        AddRecordNode(*f().myCol, s, "", vb::Variant(doubles[r][0]), vb::Variant(doubles[r][1]),
                      vb::Variant(doubles[r][2]));
        s->Name = texts[r][0];   // the key stays "ObjExtreme" & r
        s->lat = texts[r][1];
        s->from = texts[r][2];
        s->tom = texts[r][3];
        s->Index = longs[r];
        for (size_t k = 0; k < std::size(kSingles); ++k) s->LetProperty(kSingles[k], vb::Variant(singles[r][k % 4]));
        for (size_t k = 0; k < std::size(kIntegers); ++k) {
            s->LetProperty(kIntegers[k], vb::Variant(integers[r][k % 2]));
        }
    }
    // A record under a long key, and a text holding a NUL.
    auto keyed = std::make_shared<model::Sewer>();
    keyed->Name = longText;
    AddRecordNode(*f().myCol, keyed, "");
    keyed->from = std::string("a\0b", 3);
    dialogs().ClearLog();
    f().cmdSaveCollection(0).Click();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"Save    "});

    form_.reset();
    form_ = std::make_unique<ProbedForm1>();
    form_->Load();
    dialogs().ClearLog();
    f().cmdSaveCollection(1).Click();
    ASSERT_FALSE(Prompts().empty());
    EXPECT_EQ(Prompts()[0], "file Open");
    EXPECT_EQ(Prompts().size(), 2u) << Prompts()[1];
    auto bits = [](auto v) {
        uint64_t b = 0;
        std::memcpy(&b, &v, sizeof v);
        return b;
    };
    for (int r = 0; r < 3; ++r) {
        SCOPED_TRACE(r);
        const vb::Variant value = f().myCol->Item(vb::Variant("ObjExtreme" + std::to_string(r)));
        auto s = RecordOfValue(value);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->Name, texts[r][0]);
        EXPECT_EQ(s->lat, texts[r][1]);
        EXPECT_EQ(s->from, texts[r][2]);
        EXPECT_EQ(s->tom, texts[r][3]);
        EXPECT_EQ(s->Index, longs[r]);
        for (size_t k = 0; k < std::size(kSingles); ++k) {
            const vb::Variant v = s->GetProperty(kSingles[k]);
            ASSERT_EQ(v.Type(), vb::vbSingle);
            EXPECT_EQ(bits(v.RawSingle()), bits(singles[r][k % 4])) << kSingles[k];
        }
        for (size_t k = 0; k < std::size(kIntegers); ++k) {
            EXPECT_EQ(vb::CInt(s->GetProperty(kIntegers[k])), integers[r][k % 2]) << kIntegers[k];
        }
        for (int e = 0; e < 3; ++e) {
            ASSERT_EQ(value.Element(e).Type(), vb::vbDouble) << e;
            EXPECT_EQ(bits(value.Element(e).RawDouble()), bits(doubles[r][e])) << e;
        }
    }
    auto back = Rec(longText);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Name, longText);
    EXPECT_EQ(back->from, std::string("a\0b", 3));
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}
