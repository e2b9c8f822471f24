// The whole drawing exchange through the real drawing program on a private
// session bus (run under dbus-run-session): the project window's "Acad"
// prepares a fixture drawing and reads its network into the main window,
// "ACAD Pline" turns a polyline picked through the program's test hook into
// a lateral, and the drawing the program saves is judged by ezdxf.
#include <QDBusConnection>
#include <QTimer>

#include "exchange/acad.h"
#include "platform/cad/bus/bus_client.h"
#include "projectdata/form3.h"
#include "tests/mainwindow/form1_fixture.h"
#include "tests/platform_cad_bus/drawing_program.h"

class ExchangeOnTheBus : public Form1Test {
protected:
    void TearDown() override {
        cad::SetAttacher(nullptr);
        AcadApp.reset();
        AcadDoc.reset();
        AcadModelSpace.reset();
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
