// The whole drawing exchange through the real drawing program on a private
// session bus (run under dbus-run-session): the project window's "Acad"
// prepares a fixture drawing and reads its network into the main window,
// "ACAD Pline" turns a polyline picked through the program's test hook into
// a lateral, and the drawing the program saves is judged by ezdxf.
#include <QDBusConnection>
#include <QTimer>
#include <sstream>

#include "exchange/acad.h"
#include "platform/cad/bus/bus_client.h"
#include "platform/cad/local_client.h"
#include "projectdata/form3.h"
#include "tests/mainwindow/form1_fixture.h"
#include "tests/platform_cad_bus/drawing_program.h"

class ExchangeOnTheBus : public Form1Test {
protected:
    void TearDown() override {
        cad::SetAttacher(nullptr);
        ForgetAcad();
        Form1Test::TearDown();
    }
    std::vector<std::string> Children(const std::string& key) {
        std::vector<std::string> out;
        auto& col = *f().myCol;
        for (int32_t n = col.FirstChild(vb::Variant(key)); n != 0; n = col.NextSibling(vb::Variant(n))) {
            out.push_back(col.Key(vb::Variant(n)));
        }
        return out;
    }
};

TEST_F(ExchangeOnTheBus, PrepareReadPickAndSave) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    cad::bus::InstallBusAttacher();
    const std::string path = Copy("network_r2000.dxf");
    Program program({"--test-hooks", QString::fromStdString(path)});
    ASSERT_TRUE(NameOwned());

    // "Acad": the drawing is prepared and its three pipes are read.
    Form3Window().Command8_Click();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"3"});
    EXPECT_EQ(TopLevelKeys(), (std::vector<std::string>{"ObjSewer", "ObjLateral1"}));
    EXPECT_EQ(Children("ObjLateral1"), (std::vector<std::string>{"ObjSe1", "ObjSe2", "ObjSe3"}));
    EXPECT_EQ(Rec("Se2")->from, "MH2");
    EXPECT_EQ(Rec("Se1")->felv, 102);
    EXPECT_EQ(Rec("Se3")->x2, 1160);
    // Choosing the lateral builds its run for the profile.
    f().List1.ListIndex(0);
    EXPECT_EQ(RunCount, 3);

    // "ACAD Pline" on the drawing's polyline, picked through the test hook.
    cad::ClientRef c = cad::Attach();
    c->AddSelectionSet("polylines");
    c->Select("polylines", cad::kSelectAll, {}, {}, {0}, {vb::Variant("LWPOLYLINE")});
    const std::vector<std::string> polylines = c->SelectionSetEntities("polylines");
    ASSERT_EQ(polylines.size(), 1u);
    c->ScriptNextPick(polylines);
    dialogs().ClearLog();
    f().Command25_Click();
    EXPECT_TRUE(Prompts().empty());
    EXPECT_EQ(Children("ObjLateral2"), (std::vector<std::string>{"ObjSe 4", "ObjSe 5", "ObjSe 6"}));
    EXPECT_FLOAT_EQ(Rec("Se 5")->l, 40);
    EXPECT_FALSE(f().Frame15.Visible());

    c->Save();
    std::string report;
    const int rc = Python(R"(import sys, ezdxf
doc = ezdxf.readfile(sys.argv[1])
errors = doc.audit().errors
assert not errors, [e.message for e in errors]
msp = doc.modelspace()
circles = msp.query('CIRCLE[layer=="VANDU"]')
assert sorted(round(e.dxf.radius * 20) for e in circles) == [200, 250, 300, 350, 400, 500, 600, 700, 800, 900, 1000]
assert all(abs(e.dxf.center.x - 1500) < 1e-9 and abs(e.dxf.center.y - 700) < 1e-9 for e in circles)
assert [tuple(e.get_xdata('Diameter')[0]) for e in circles][0] == (1040, 200.0)  # entries after the name
marker = [e for e in msp.query('TEXT') if e.dxf.text == 'VANDU']
assert len(marker) == 1 and marker[0].dxf.layer == 'VANDU', marker
lengths = {app: len(marker[0].get_xdata(app)) for app in ('Criteria', 'Runoff', 'Infiltration', 'Population', 'Title')}
assert lengths == {'Criteria': 12, 'Runoff': 12, 'Infiltration': 6, 'Population': 6, 'Title': 6}, lengths
assert doc.layers.get('subarea').color == 60 and doc.layers.get('GELV').color == 2 and doc.layers.has_entry('Error')
assert 'Endblock' in doc.blocks
assert doc.header['$CLAYER'].lower() == 'sewer'  # the drawing's own SEWER layer is that layer
labels = {e.dxf.text: e for e in msp.query('TEXT') if e.dxf.text.startswith('Se ')}
assert sorted(labels) == ['Se 4', 'Se 5', 'Se 6'], sorted(labels)
se5 = labels['Se 5']
assert abs(se5.dxf.insert.x - 35.0) < 1e-3 and abs(se5.dxf.insert.y - 120.004) < 1e-3, se5.dxf.insert
assert abs(se5.dxf.rotation - 90) < 1e-3 and se5.dxf.height == 1, se5.dxf.rotation
pipes = msp.query('LINE[layer=="SEWER"]')
assert len(pipes) == 3 and all(e.get_xdata('MAA') for e in pipes)
print('ok')
)",
                          path, &report);
    EXPECT_EQ(rc, 0) << report;
}

TEST_F(ExchangeOnTheBus, TheWindowStaysLiveWhileTheUserPicksAndAClosedProgramEndsThePick) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    cad::bus::InstallBusAttacher();
    Program program({QString::fromStdString(Copy("network_r2000.dxf"))});
    ASSERT_TRUE(NameOwned());

    // While the drawing program waits for the user's pick, the design tool
    // goes on handling its own events (it repaints the pick panel); here one
    // of them looks at the panel and then closes the drawing program.
    bool panelShownDuringPick = false;
    QTimer::singleShot(200, [&] {
        panelShownDuringPick = f().Frame15.Visible() && f().Label29.Caption() == "0";
        program.Stop();
    });
    f().Command25_Click();
    EXPECT_TRUE(panelShownDuringPick);
    EXPECT_EQ(Prompts(), std::vector<std::string>{"The drawing program was closed during the pick; nothing was added."});
    EXPECT_FALSE(f().Frame15.Visible());
    EXPECT_EQ(AcadApp, nullptr);
}

namespace {

// A network drawing made here: two laterals, one joining the other by a
// branch, the sheet-grid marker text, and a fault chosen by `fault` (0 none,
// 1 a line without its "sewer" record, 2 a link to no pipe).
std::string FaultyDrawing(int fault) {
    cad::Document doc = cad::Document::New();
    doc.AddLayer("VANDU");
    doc.SetActiveLayer("VANDU");
    const std::string marker = doc.AddText("VANDU", {0, 0, 0}, 10);
    cad::XData grid;
    grid.types = {1001, 1040, 1040, 1040, 1040, 1040};
    grid.values = {vb::Variant("Sheetindex"), vb::Variant(-100.0), vb::Variant(-50.0), vb::Variant(0.0), vb::Variant(0.0),
                   vb::Variant(60.0)};
    doc.SetXData(*doc.MutableEntity(marker), grid);
    doc.AddLayer("SEWER");
    doc.SetActiveLayer("SEWER");
    // (record, next, prev, branch1, lateral, from x, to x, y)
    const struct {
        int record, next, prev, branch;
        const char* lateral;
        double x1, x2, y;
    } pipes[] = {{1, 2, 0, 0, "Main", 0, 60.4, 0}, {2, 3, 1, 4, "Main", 60.4, 120.6, 0}, {3, 0, 2, 0, "Main", 120.6, 181, 0},
                 {4, 5, 0, 0, "Side", 60.4, 60.4, 70.5}, {5, 2, 4, 0, "Side", 60.4, 60.4, 140.25}};
    for (const auto& p : pipes) {
        const std::string h = doc.AddLine({p.x1, p.y, 101.5 - p.record * 0.4}, {p.x2, p.y + (p.record >= 4 ? 70 : 0), 101.1 - p.record * 0.4});
        cad::Record& e = *doc.MutableEntity(h);
        cad::XData maa;
        maa.types = {1001, 1071, 1070, 1070, 1070, 1070, 1070, 1070};
        maa.values = {vb::Variant("MAA"), vb::Variant(int32_t(p.record)), vb::Variant(int16_t(fault == 2 && p.record == 4 ? 9 : p.next)),
                      vb::Variant(int16_t(p.prev)), vb::Variant(int16_t(p.branch)), vb::Variant(int16_t(0)), vb::Variant(int16_t(0)),
                      vb::Variant(int16_t(0))};
        doc.SetXData(e, maa);
        if (fault == 1 && p.record == 3) continue;
        cad::XData sewer;
        sewer.types = {1001, 1000, 1000, 1000, 1040, 1040, 1040, 1040, 1000};
        sewer.values = {vb::Variant("sewer"), vb::Variant("MH" + std::to_string(p.record)), vb::Variant("MH" + std::to_string(p.record + 1)),
                        vb::Variant(""), vb::Variant(0.75 * p.record), vb::Variant(0.5), vb::Variant(0.0), vb::Variant(0.0),
                        vb::Variant(std::string(p.lateral))};
        doc.SetXData(e, sewer);
    }
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("sewer_cad_bus_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / ("made_" + std::to_string(fault) + ".dxf")).string();
    EXPECT_TRUE(doc.Save(path));
    return path;
}

}  // namespace

// "Acad" served through the running program (its answers copied a piece of
// members at a time) makes exactly the network, levels, laterals and
// messages that the same drawing gives in this process, call by call.
TEST_F(ExchangeOnTheBus, AcadThroughTheProgramReadsWhatTheDrawingGivesInProcess) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    auto network = [&] {
        std::ostringstream o;
        o.precision(17);
        for (const std::string& p : Prompts()) o << "said: " << p << "\n";
        o << "pipes " << PipeCount << ", laterals " << PipeLinkCount << "\n";
        for (int32_t i = 1; i <= PipeCount; ++i) {
            const auto& s = SewerArray.at(static_cast<size_t>(i));
            const RunEntry& l = SewerLinks.at(static_cast<size_t>(i));
            o << s->Name << " " << s->lat << " " << s->from << " " << s->tom << " " << s->area1 << " " << s->area2 << " " << s->l << " "
              << s->x1 << " " << s->y1 << " " << s->x2 << " " << s->y2 << " " << s->felv << " " << s->telv << " " << s->ma1 << " "
              << s->ma2 << " " << s->ma3 << " " << s->ma5 << " links " << l.NextPipe << " " << l.PrevPipe << " " << l.Branch1 << " "
              << l.Branch2 << " " << l.Link4 << " grid " << SewerGridRefs.at(static_cast<size_t>(i)) << "\n";
        }
        for (int k = 1; k <= PipeLinkCount; ++k) o << "lateral " << vb::CStr(PipeLinks[k][1]) << " to " << vb::CStr(PipeLinks[k][2]) << "\n";
        for (const std::string& key : TopLevelKeys()) {
            o << key << ":";
            for (const std::string& child : Children(key)) o << " " << child;
            o << "\n";
        }
        return o.str();
    };
    auto acad = [&](const cad::Attacher& attacher) {
        cad::SetAttacher(attacher);
        ForgetAcad();
        PipeCount = 0;
        PipeLinkCount = 0;
        dialogs().ClearLog();
        Form3Window().Command8_Click();
        return network();
    };
    const std::vector<std::string> drawings = {kData + "network_r12.dxf", kData + "network_r2000.dxf", kData + "network_r2013.dxf",
                                               FaultyDrawing(0), FaultyDrawing(1), FaultyDrawing(2)};
    for (size_t i = 0; i < drawings.size(); ++i) {
        cad::Document doc = cad::Document::ReadFile(drawings[i]);
        auto local = std::make_shared<cad::LocalClient>(&doc);
        const std::string inProcess = acad([local] { return local; });
        // Each drawing says what it should: its pipe count, or the fault.
        const std::vector<std::string> said = Prompts();
        if (i < 4) {
            EXPECT_EQ(said, std::vector<std::string>{i < 3 ? "3" : "5"}) << inProcess;
        } else {
            ASSERT_EQ(said.size(), 2u) << inProcess;
            EXPECT_NE(said[0].find(i == 4 ? "no \"sewer\" record" : "link to pipe 9"), std::string::npos) << said[0];
        }
        if (i == 3) {
            EXPECT_NE(inProcess.find(" grid B1\n"), std::string::npos) << inProcess;
            EXPECT_NE(inProcess.find(" grid C4\n"), std::string::npos) << inProcess;
            EXPECT_NE(inProcess.find("ObjLateral2: ObjSe4 ObjSe5"), std::string::npos) << inProcess;
        }

        Program program({QString::fromStdString(drawings[i])});   // opened, never saved
        ASSERT_TRUE(NameOwned());
        EXPECT_EQ(acad(&cad::bus::AttachBus), inProcess) << drawings[i];
    }
}
