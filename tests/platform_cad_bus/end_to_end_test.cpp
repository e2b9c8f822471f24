// The drawing program driven through the real session bus.  Run under
// dbus-run-session (see tests/CMakeLists.txt), so the bus is private to the
// test: it starts sewercad on a copy of a fixture, attaches with the bus
// client, exercises the members the exchange uses, saves, and checks the
// saved file with ezdxf.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMutex>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>

#include "platform/cad/bus/bus_client.h"
#include "platform/cad/bus/bus_protocol.h"
#include "platform/cad/local_client.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"
#include "tests/platform_cad_bus/drawing_program.h"
#include "tests/platform_runtime/error_of.h"

namespace {

std::vector<vb::Variant> Texts(std::initializer_list<const char*> texts) {
    std::vector<vb::Variant> out;
    for (const char* t : texts) out.emplace_back(t);
    return out;
}

std::string Describe(const std::string& s) { return "'" + s + "'"; }
std::string Number(double d) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    return buf;
}
std::string Describe(const cad::Point& p) { return Number(p.x) + " " + Number(p.y) + " " + Number(p.z); }
std::string Describe(const cad::XData& x) {
    std::string out;
    for (size_t i = 0; i < x.size(); ++i) {
        const vb::Variant& v = x.values[i];
        out += std::to_string(x.types[i]) + ":" + vb::TypeName(v) + "=";
        if (v.IsArray()) {
            for (int32_t k = v.LBound(); k <= v.UBound(); ++k) out += Number(vb::CDbl(v.Element(k))) + ",";
        } else {
            out += v.Type() == vb::vbDouble ? Number(v.RawDouble()) : vb::CStr(v);
        }
        out += " ";
    }
    return out;
}

// What a call gives, as text: its value, or its failure's number and description.
template <class F>
std::string Answer(F&& f) {
    try {
        return Describe(f());
    } catch (const vb::VbError& e) {
        return "failure " + std::to_string(e.Number()) + " " + e.Description();
    }
}

// Everything the exchange asks of an entity, asked of every member in turn.
std::vector<std::string> AskAll(cad::Client& c, const std::vector<std::string>& members) {
    std::vector<std::string> out;
    auto each = [&](const char* what, auto&& ask) {
        for (const std::string& h : members) out.push_back(std::string(what) + " " + h + ": " + Answer([&] { return ask(h); }));
    };
    each("EntityName", [&](const std::string& h) { return c.EntityName(h); });
    each("Layer", [&](const std::string& h) { return c.Layer(h); });
    each("TextString", [&](const std::string& h) { return c.TextString(h); });
    each("StartPoint", [&](const std::string& h) { return c.StartPoint(h); });
    each("EndPoint", [&](const std::string& h) { return c.EndPoint(h); });
    each("Center", [&](const std::string& h) { return c.Center(h); });
    for (const char* app : {"", "MAA", "sewer", "other", "none"})
        each(app, [&](const std::string& h) { return c.GetXData(h, app); });
    return out;
}

cad::XData MaaRecord(int32_t number) {
    cad::XData x;
    x.types = {1001, 1071};
    x.values = {vb::Variant("MAA"), vb::Variant(number)};
    return x;
}

}  // namespace

// A set's members are read a piece at a time into a copy that then answers
// the single calls: each answer, value or failure, is the single call's, and
// a change ends the copy.
TEST(DrawingProgramOnTheBus, TheCopyOfASetAnswersAsTheSingleCallsUntilAChange) {
    for (const char* fixture : {"network_r12.dxf", "network_r2000.dxf", "network_r2013.dxf"}) {
        const std::string path = Copy(fixture);
        cad::Document doc = cad::Document::ReadFile(path);
        cad::LocalClient local(&doc);
        Program program({QString::fromStdString(path)});
        ASSERT_TRUE(NameOwned());
        cad::ClientRef c = cad::bus::AttachBus();
        for (cad::Client* client : {static_cast<cad::Client*>(&local), c.get()}) {
            client->AddSelectionSet("all");
            client->Select("all", cad::kSelectAll, {}, {}, {}, {});
        }
        const std::vector<std::string> members = c->SelectionSetEntities("all");
        ASSERT_EQ(members, local.SelectionSetEntities("all"));
        ASSERT_GT(members.size(), 8u);
        // A handle that names nothing among the members fails as it did.
        std::vector<std::string> asked = members;
        asked.push_back("FFFFF");
        EXPECT_EQ(AskAll(*c, asked), AskAll(local, asked)) << fixture;

        // The copy answers in this program: with the drawing program gone,
        // every value still comes from the copy, while a failure is asked
        // again (it is never copied) and now finds the program gone.
        if (std::string(fixture) != "network_r2013.dxf") continue;
        const std::vector<std::string> before = AskAll(*c, members);
        program.Stop();
        const std::vector<std::string> after = AskAll(*c, members);
        ASSERT_EQ(after.size(), before.size());
        for (size_t i = 0; i < before.size(); ++i) {
            if (before[i].find(": failure ") == std::string::npos)
                EXPECT_EQ(after[i], before[i]);
            else
                EXPECT_NE(after[i].find(": failure 462 "), std::string::npos) << after[i];
        }
    }

    // Changes end the copy: made through the same client, made by another
    // client (the next piece fetched brings a new revision), and any at all
    // once this program's event loop has run.
    const std::string path = Copy("network_r2000.dxf");
    Program program({QString::fromStdString(path)});
    ASSERT_TRUE(NameOwned());
    cad::ClientRef c = cad::bus::AttachBus(), other = cad::bus::AttachBus();
    c->AddSelectionSet("temp");
    c->Select("temp", cad::kSelectAll, {}, {}, {0, 8}, Texts({"LINE", "SEWER"}));
    std::vector<std::string> lines = c->SelectionSetEntities("temp");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(c->GetXData(lines[1], "MAA").values[1].RawLong(), 2);
    c->SetXData(lines[1], MaaRecord(22));
    EXPECT_EQ(c->GetXData(lines[1], "MAA").values[1].RawLong(), 22);
    lines = c->SelectionSetEntities("temp");
    EXPECT_EQ(c->Layer(lines[2]), "SEWER");
    c->SetLayer(lines[2], "Moved");
    EXPECT_EQ(c->Layer(lines[2]), "Moved");

    lines = c->SelectionSetEntities("temp");
    EXPECT_EQ(c->GetXData(lines[0], "MAA").values[1].RawLong(), 1);
    other->SetXData(lines[0], MaaRecord(11));
    EXPECT_EQ(c->StartPoint(lines[0]), (cad::Point{1000, 200, 101.5}));   // a new piece, a new revision
    EXPECT_EQ(c->GetXData(lines[0], "MAA").values[1].RawLong(), 11);
    other->SetXData(lines[0], MaaRecord(12));
    QCoreApplication::processEvents();
    EXPECT_EQ(c->GetXData(lines[0], "MAA").values[1].RawLong(), 12);

    // A drawing program started anew (on the file, without the changes)
    // counts its revisions from the start: its first piece ends the copy
    // begun with the one before, and later pieces are taken as they come.
    lines = c->SelectionSetEntities("temp");
    EXPECT_EQ(c->GetXData(lines[0], "MAA").values[1].RawLong(), 12);
    program.Stop();
    Program again({QString::fromStdString(path)});
    ASSERT_TRUE(NameOwned());
    EXPECT_EQ(c->StartPoint(lines[0]), (cad::Point{1000, 200, 101.5}));
    EXPECT_EQ(c->GetXData(lines[0], "MAA").values[1].RawLong(), 1);
}

TEST(DrawingProgramOnTheBus, NoProgramThenAWholeSessionThenGone) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    cad::bus::InstallBusAttacher();
    // No program: attaching fails as the exchange expects.
    EXPECT_EQ(ErrorOf([] { cad::Attach(); }), cad::kErrNotRunning);

    std::string path = Copy("network_r2000.dxf");
    Program program({"--test-hooks", "--report-version", "14.0", QString::fromStdString(path)});
    ASSERT_TRUE(NameOwned());
    cad::ClientRef c = cad::Attach();
    EXPECT_EQ(c->Version(), "14.0");
    c->SetVisible(true);
    EXPECT_TRUE(c->Visible());
    c->SetWindowState(cad::kWindowNormal);

    // Both failure numbers arrive as they were raised.
    c->AddSelectionSet("temp");
    EXPECT_EQ(ErrorOf([&] { c->AddSelectionSet("TEMP"); }), cad::kErrDuplicateName);
    EXPECT_EQ(ErrorOf([&] { c->BlockItem("Endblock"); }), cad::kErrKeyNotFound);
    c->AddBlock({0, 0, 0}, "Endblock");
    EXPECT_EQ(ErrorOf([&] { c->BlockItem("Endblock"); }), 0);
    EXPECT_EQ(ErrorOf([&] { c->StartPoint("FFFFF"); }), cad::kErrNoSuchEntity);

    // Filtered selection and extended data.
    c->Select("temp", cad::kSelectAll, {}, {}, {0, 8}, Texts({"LINE", "SEWER"}));
    std::vector<std::string> pipes = c->SelectionSetEntities("temp");
    ASSERT_EQ(pipes.size(), 3u);
    EXPECT_EQ(c->EntityName(pipes[0]), "AcDbLine");
    EXPECT_EQ(c->StartPoint(pipes[0]), (cad::Point{1000, 200, 101.5}));
    cad::XData maa = c->GetXData(pipes[2], "MAA");
    ASSERT_EQ(maa.size(), 8u);
    EXPECT_EQ(maa.values[0].RawString(), "MAA");
    EXPECT_EQ(maa.values[1].Type(), vb::vbLong);
    EXPECT_EQ(maa.values[1].RawLong(), 3);
    EXPECT_EQ(maa.values[3].Type(), vb::vbInteger);
    EXPECT_EQ(maa.values[3].RawInteger(), 2);
    EXPECT_EQ(c->GetXData(pipes[2], "OTHER").values[2].Element(1).RawDouble(), 2.0);
    cad::XData sewer;
    sewer.types = {1001, 1000, 1000, 1040, 1070};
    sewer.values = {vb::Variant("sewer"), vb::Variant("A1"), vb::Variant("A2"), vb::Variant(3.5), vb::Variant(int16_t(-4))};
    c->SetXData(pipes[0], sewer);
    EXPECT_EQ(c->GetXData(pipes[0], "SEWER").values[4].RawInteger(), -4);

    // Layers, circle and text on the active layer.
    c->AddLayer("VANDU");
    c->SetLayerColor("VANDU", 4);
    EXPECT_EQ(c->LayerColor("vandu"), 4);
    c->SetActiveLayer("VANDU");
    std::string circle = c->AddCircle({1500, 700, 0}, 10);
    EXPECT_DOUBLE_EQ(c->Diameter(circle), 20);
    std::string text = c->AddText("Se 7", {1.465872, 8.536939, 0}, 1);
    c->SetRotation(text, 0.785398);
    c->SetAlignment(text, 4);
    c->SetTextAlignmentPoint(text, {1500, 700, 0});
    EXPECT_EQ(c->Layer(text), "VANDU");

    // The pick, scripted through the test hook; the polyline's vertices.
    std::string poly;
    c->AddSelectionSet("all");
    c->Select("all", cad::kSelectAll, {}, {}, {}, {});
    for (const std::string& h : c->SelectionSetEntities("all"))
        if (c->EntityName(h) == "AcDbPolyline") poly = h;
    ASSERT_FALSE(poly.empty());
    c->AddSelectionSet("SET1");
    c->ScriptNextPick({poly, pipes[1]});
    c->SelectOnScreen("SET1");
    EXPECT_EQ(c->SelectionSetEntities("SET1"), (std::vector<std::string>{poly, pipes[1]}));
    EXPECT_EQ(c->Coordinates(poly).size(), 8u);

    // Malformed calls get bus errors, and the program goes on serving.
    QDBusMessage bad = QDBusMessage::createMethodCall(cad::bus::kService, cad::bus::kPath, cad::bus::kInterface,
                                                      QStringLiteral("AddCircle"));
    bad << QStringLiteral("not a point") << 1.0;
    QDBusMessage reply = QDBusConnection::sessionBus().call(bad);
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
    bad = QDBusMessage::createMethodCall(cad::bus::kService, cad::bus::kPath, cad::bus::kInterface,
                                         QStringLiteral("AddCircle"));
    bad << QVariant::fromValue(QList<double>{1, 2}) << 1.0;
    EXPECT_EQ(ErrorOf([&] {
                  QDBusMessage r = QDBusConnection::sessionBus().call(bad);
                  if (r.type() == QDBusMessage::ErrorMessage) throw vb::VbError(std::atoi(r.errorMessage().toLatin1().constData()), "");
              }),
              vb::errInvalidProcedureCall);
    EXPECT_EQ(ErrorOf([&] { c->Select("all", cad::kSelectAll, {}, {}, {62}, Texts({"1"})); }), vb::errInvalidProcedureCall);
    EXPECT_EQ(c->Version(), "14.0");

    // Save, and let the independent reader judge the file.
    c->Save();
    std::string report;
    int rc = Python(R"(import sys, ezdxf
doc = ezdxf.readfile(sys.argv[1])
errors = doc.audit().errors
assert not errors, [e.message for e in errors]
msp = doc.modelspace()
circles = [e for e in msp.query('CIRCLE') if e.dxf.layer == 'VANDU']
assert len(circles) == 1 and abs(circles[0].dxf.radius - 10) < 1e-9, circles
texts = [e for e in msp.query('TEXT') if e.dxf.text == 'Se 7']
assert len(texts) == 1 and abs(texts[0].dxf.rotation - 45.0) < 1e-3 and texts[0].dxf.halign == 4, texts
assert doc.layers.get('VANDU').color == 4
assert 'Endblock' in doc.blocks
line = [e for e in msp.query('LINE[layer=="SEWER"]')][0]
assert line.get_xdata('sewer') == [(1000, 'A1'), (1000, 'A2'), (1040, 3.5), (1070, -4)], line.get_xdata('sewer')
assert line.get_xdata('MAA')[0] == (1071, 1)
assert len(list(msp.query('HATCH SPLINE ELLIPSE DIMENSION'))) == 4
print('ok', len(msp))
)",
                    path, &report);
    EXPECT_EQ(rc, 0) << report;

    // The program goes away: the attached client fails, a new attach fails.
    program.Stop();
    EXPECT_EQ(ErrorOf([&] { c->Version(); }), cad::kErrGone);
    EXPECT_EQ(ErrorOf([] { cad::Attach(); }), cad::kErrNotRunning);
    cad::SetAttacher(nullptr);
}

TEST(DrawingProgramOnTheBus, HooksAreRefusedWithoutTheOption) {
    std::string path = Copy("network_r12.dxf");
    Program program({QString::fromStdString(path)});
    ASSERT_TRUE(NameOwned());
    cad::ClientRef c = cad::bus::AttachBus();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->Version(), "1.0");
    EXPECT_NE(ErrorOf([&] { c->ScriptNextPick({"1"}); }), 0);
    // R12 has lightweight polylines nowhere; its polyline is another kind.
    c->AddSelectionSet("all");
    c->Select("all", cad::kSelectAll, {}, {}, {0}, Texts({"polyline"}));
    std::vector<std::string> polys = c->SelectionSetEntities("all");
    ASSERT_EQ(polys.size(), 1u);
    EXPECT_EQ(c->EntityName(polys[0]), "AcDb2dPolyline");
    EXPECT_EQ(ErrorOf([&] { c->Coordinates(polys[0]); }), vb::errNotSupported);
}

namespace {

QDBusMessage CallOn(const QDBusConnection& bus, const char* member, const QList<QVariant>& args, int timeoutMs) {
    QDBusMessage m = QDBusMessage::createMethodCall(cad::bus::kService, cad::bus::kPath, cad::bus::kInterface,
                                                    QString::fromLatin1(member));
    m.setArguments(args);
    return QDBusConnection(bus).call(m, QDBus::Block, timeoutMs);
}

// The description a client call fails with ("" when it does not fail).
std::string FailureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const vb::VbError& e) {
        return std::to_string(e.Number()) + " " + e.Description();
    }
    return "";
}

}  // namespace

TEST(DrawingProgramOnTheBus, HostileCallsAreRefusedAndEveryOtherCallStillServed) {
    // A save of a program killed part-way left its temporary file beside the
    // drawing; the next program on that drawing removes it.
    std::string path = Copy("network_r2000.dxf");
    const std::string leftover = path + ".tmp2147483646-1_0_deadbeef";
    std::ofstream(leftover) << "0\nSECTION\n";
    Program program({QString::fromStdString(path)});
    ASSERT_TRUE(NameOwned());
    EXPECT_FALSE(std::filesystem::exists(leftover));
    auto serving = [](const std::string& after) {
        QDBusMessage r = CallOn(QDBusConnection::sessionBus(), "Version", {}, 1000);
        EXPECT_EQ(r.type(), QDBusMessage::ReplyMessage) << "after " << after << ": " << r.errorMessage().toStdString();
    };
    cad::ClientRef c = cad::bus::AttachBus();
    ASSERT_TRUE(c);
    c->AddSelectionSet("all");
    c->Select("all", cad::kSelectAll, {}, {}, {}, {});
    const size_t entities = c->SelectionSetEntities("all").size();

    // Messages beyond what libdbus reads by default, as a new caller's first
    // message: refused at once, naming the limit without quoting the string.
    QDBusConnection hostile = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("hostile"));
    for (int megabytes : {70, 100}) {
        QDBusMessage r = CallOn(hostile, "AddLayer", {QString(megabytes * 1000000, QLatin1Char('x'))}, 20000);
        EXPECT_EQ(r.errorName().toStdString(), "org.freedesktop.DBus.Error.LimitsExceeded") << r.errorMessage().toStdString();
        EXPECT_NE(r.errorMessage().indexOf(QStringLiteral("65536 bytes")), -1) << r.errorMessage().toStdString();
        EXPECT_LT(r.errorMessage().size(), 300);
        serving(std::to_string(megabytes) + " MB layer name");
    }
    QDBusMessage r = CallOn(hostile, "ScriptNextPick", {QStringList(70000, QStringLiteral("1F"))}, 5000);
    EXPECT_EQ(r.errorName().toStdString(), "org.freedesktop.DBus.Error.LimitsExceeded") << r.errorMessage().toStdString();
    r = CallOn(hostile, "AddCircle", {QVariant::fromValue(QList<double>(100000, 1.0)), 1.0}, 5000);
    EXPECT_EQ(r.errorName().toStdString(), "org.freedesktop.DBus.Error.LimitsExceeded") << r.errorMessage().toStdString();
    QDBusConnection::disconnectFromBus(QStringLiteral("hostile"));
    serving("long lists");

    // Names, texts and file names within the bus's limit but beyond their
    // own: error 5 naming the limit, quoting no more than the start.
    std::string failure = FailureOf([&] { c->AddLayer(std::string(300, 'L')); });
    EXPECT_EQ(failure.rfind("5 ", 0), 0u) << failure;
    EXPECT_NE(failure.find("255"), std::string::npos) << failure;
    failure = FailureOf([&] { c->AddText(std::string(65537, 't'), {0, 0, 0}, 1); });
    EXPECT_NE(failure.find("65536"), std::string::npos) << failure;
    EXPECT_LT(failure.size(), 300u);
    failure = FailureOf([&] { c->SaveAs("/tmp/" + std::string(5000, 'p') + ".dxf"); });
    EXPECT_EQ(failure.rfind("5 ", 0), 0u) << failure;
    EXPECT_NE(failure.find("4096"), std::string::npos) << failure;
    failure = FailureOf([&] { c->LayerColor(std::string(60000, 'n')); });
    EXPECT_LT(failure.size(), 1100u);

    // Numbers that are none: error 5 on every member that takes them.
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    std::string text = c->AddText("Se 1", {1, 2, 0}, 1);
    EXPECT_EQ(ErrorOf([&] { c->AddCircle({inf, 0, 0}, 1); }), vb::errInvalidProcedureCall);
    EXPECT_EQ(ErrorOf([&] { c->AddCircle({0, nan, 0}, 1); }), vb::errInvalidProcedureCall);
    EXPECT_EQ(ErrorOf([&] { c->AddText("x", {0, 0, -inf}, 1); }), vb::errInvalidProcedureCall);
    EXPECT_EQ(ErrorOf([&] { c->AddBlock({nan, 0, 0}, "B"); }), vb::errInvalidProcedureCall);
    EXPECT_EQ(ErrorOf([&] { c->SetRotation(text, inf); }), vb::errInvalidProcedureCall);
    EXPECT_EQ(ErrorOf([&] { c->SetTextAlignmentPoint(text, {0, inf, 0}); }), vb::errInvalidProcedureCall);
    EXPECT_EQ(ErrorOf([&] { c->Select("all", cad::kSelectAll, {inf, 0, 0}, {}, {}, {}); }), vb::errInvalidProcedureCall);
    cad::XData x;
    x.types = {1001, 1040};
    x.values = {vb::Variant("sewer"), vb::Variant(nan)};
    EXPECT_EQ(ErrorOf([&] { c->SetXData(text, x); }), vb::errInvalidProcedureCall);
    c->AddSelectionSet("after");
    c->Select("after", cad::kSelectAll, {}, {}, {}, {});
    EXPECT_EQ(c->SelectionSetEntities("after").size(), entities + 1);
    EXPECT_FALSE(c->GetXData(text, "sewer").size());
    serving("values that are no numbers");

    // A batched read answers at most 4096 handles (each here naming nothing).
    QStringList many(4096, QStringLiteral("FFFFF"));
    r = CallOn(QDBusConnection::sessionBus(), "EntityData", {many.join(QLatin1Char(' ')), QStringLiteral("Layer"), QString()}, 5000);
    ASSERT_EQ(r.type(), QDBusMessage::ReplyMessage) << r.errorMessage().toStdString();
    EXPECT_EQ(cad::bus::Bytes(r.arguments().value(1)), QByteArray(4096, '\0'));
    many << QStringLiteral("FFFFF");
    r = CallOn(QDBusConnection::sessionBus(), "EntityData", {many.join(QLatin1Char(' ')), QStringLiteral("Layer"), QString()}, 5000);
    EXPECT_EQ(r.type(), QDBusMessage::ErrorMessage);
    EXPECT_NE(r.errorMessage().indexOf(QStringLiteral("4096 handles")), -1) << r.errorMessage().toStdString();
    // A failure quoting a long argument is cut to its start.
    r = CallOn(QDBusConnection::sessionBus(), "EntityData", {QStringLiteral("1F"), QString(60000, QLatin1Char('p')), QString()}, 5000);
    EXPECT_EQ(r.type(), QDBusMessage::ErrorMessage);
    EXPECT_LT(r.errorMessage().size(), 1100);

    // One entity whose extended data (of two applications, each sent
    // within the bus's limits) is larger than one bus array may hold: its
    // batched read leaves it to the single call, which refuses it; the
    // members around it still come from the copy.
    for (const char* application : {"BIG1", "BIG2"}) {
        cad::XData half;
        half.types = {1001};
        half.values = {vb::Variant(application)};
        for (int i = 0; i < 600; ++i) {
            half.types.push_back(1000);
            half.values.push_back(vb::Variant(std::string(60000, static_cast<char>('a' + i % 26))));
        }
        c->SetXData(text, half);
    }
    r = CallOn(QDBusConnection::sessionBus(), "EntityData", {QString::fromStdString(text), QStringLiteral("GetXData"), QString()}, 20000);
    ASSERT_EQ(r.type(), QDBusMessage::ReplyMessage) << r.errorMessage().toStdString();
    ASSERT_EQ(r.arguments().size(), 7);
    EXPECT_EQ(cad::bus::Bytes(r.arguments()[1]), QByteArray(1, '\0'));
    serving("a batched read of too much extended data");
    EXPECT_EQ(ErrorOf([&] { c->GetXData(text, ""); }), 7);
    const std::vector<std::string> members = c->SelectionSetEntities("after");
    for (const std::string& h : members) {
        if (h == text) EXPECT_EQ(ErrorOf([&] { c->GetXData(h, ""); }), 7);
        else c->GetXData(h, "");
    }
    serving("a read of a set holding too much extended data");
}


// Drawings the program cannot carry whole (a zero byte deep in a text, three
// lines of one handle, a text longer than any caller may send back, a
// drawing cut short after a section, without its "0 EOF") are
// refused at open: the program shows an empty drawing rather than a part of
// one, and goes on answering at once.
TEST(DrawingProgramOnTheBus, DrawingsItCannotCarryAreRefusedAndTheProgramAnswers) {
    const std::string head = "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n";
    const std::string end = "  0\nENDSEC\n  0\nEOF\n";
    auto line = [](const std::string& handle) { return "  0\nLINE\n  5\n" + handle + "\n  8\nSEWER\n 10\n0\n 20\n0\n 11\n1\n 21\n1\n"; };
    std::string padding;
    for (int i = 0; i < 300; ++i) padding += "                   0\nPOINT\n";
    const std::pair<const char*, std::string> drawings[] = {
        {"zero.dxf", head + line("20") + padding + "  0\nTEXT\n  1\nA" + std::string(1, '\0') + "B\n" + end},
        {"shared.dxf", head + line("20") + line("20") + line("0020") + end},
        {"long.dxf", head + line("20") + "  0\nTEXT\n  1\n" + std::string(65537, 't') + "\n" + end},
        {"cut.dxf", head + line("20") + "  0\nENDSEC\n"},
    };
    const std::string folder = std::filesystem::path(Copy("network_r12.dxf")).parent_path().string();
    for (const auto& [name, text] : drawings) {
        SCOPED_TRACE(name);
        const std::string path = folder + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        Program program({QString::fromStdString(path)});
        ASSERT_TRUE(NameOwned());
        cad::ClientRef c = cad::bus::AttachBus();
        QDeadlineTimer second(1000);
        EXPECT_EQ(c->Version(), "1.0");
        EXPECT_FALSE(second.hasExpired());
        c->AddSelectionSet("all");
        c->Select("all", cad::kSelectAll, {}, {}, {}, {});
        EXPECT_TRUE(c->SelectionSetEntities("all").empty());
    }
    // A whole drawing padded with zero bytes after its end opens whole.
    const std::string padded = folder + "/padded.dxf";
    std::ofstream(padded, std::ios::binary) << head + line("20") + line("21") + end + std::string(4096, '\0');
    Program program({QString::fromStdString(padded)});
    ASSERT_TRUE(NameOwned());
    cad::ClientRef c = cad::bus::AttachBus();
    c->AddSelectionSet("all");
    c->Select("all", cad::kSelectAll, {}, {}, {}, {});
    EXPECT_EQ(c->SelectionSetEntities("all"), (std::vector<std::string>{"20", "21"}));
}

namespace {

QVariant Wrapped(const QVariant& v) { return QVariant::fromValue(QDBusVariant(v)); }

// A list of bus variants ("av").
QVariant VariantList(const QList<QVariant>& items) {
    QDBusArgument arg;
    arg.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const QVariant& v : items) arg << QDBusVariant(v);
    arg.endArray();
    return QVariant::fromValue(arg);
}

QVariant ShortList(const QList<short>& codes) { return QVariant::fromValue(codes); }

// A structure ("(sv)") and a map ("a{sv}") holding the value.
QVariant Structure(const QVariant& v) {
    QDBusArgument arg;
    arg.beginStructure();
    arg << QStringLiteral("key") << QDBusVariant(v);
    arg.endStructure();
    return QVariant::fromValue(arg);
}
QVariant Map(const QVariant& v) {
    QDBusArgument arg;
    arg.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QDBusVariant>());
    arg.beginMapEntry();
    arg << QStringLiteral("key") << QDBusVariant(v);
    arg.endMapEntry();
    arg.endMap();
    return QVariant::fromValue(arg);
}

// How the program answered a raw call: "ok", the bus error's name, or the
// failure's number and description.
std::string Verdict(const QDBusMessage& r) {
    if (r.type() == QDBusMessage::ReplyMessage) return "ok";
    if (r.errorName() == cad::bus::kFailure) return "failure " + r.errorMessage().toStdString();
    return r.errorName().toStdString();
}

}  // namespace

// The program's own check of every argument, lists and variants within
// variants included, before a call reaches the drawing: strings up to 65536
// bytes of UTF-8 (letters of two and four bytes counted as bytes), lists up to
// 65536 items, numbers finite.  What it refuses gets LimitsExceeded (or
// failure 5 for a number), not the drawing's own failure, which names its
// own checks and misses most of these.
TEST(DrawingProgramOnTheBus, TheProgramChecksEveryArgumentInsideListsAndVariants) {
    Program program({});
    ASSERT_TRUE(NameOwned());
    QDBusConnection probe = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("probe"));
    auto call = [&](const char* member, const QList<QVariant>& args) { return Verdict(CallOn(probe, member, args, 10000)); };
    const std::string limit = "org.freedesktop.DBus.Error.LimitsExceeded";
    const QList<QVariant> origin{QVariant::fromValue(QList<double>{0, 0, 0})};
    const QString two = QString(QChar(0xD8)).repeated(32768), four = QString::fromUtf8("\xF0\x9F\x98\x80").repeated(16384);
    ASSERT_EQ(two.toUtf8().size(), 65536);
    ASSERT_EQ(four.toUtf8().size(), 65536);
    const QString longOne = two + QLatin1Char('x');
    const double nan = std::numeric_limits<double>::quiet_NaN();

    for (const QString& text : {two, four, QString(65536, QLatin1Char('a'))}) {
        EXPECT_EQ(call("AddText", {text, origin[0], 1.0}), "ok");
        EXPECT_EQ(call("AddText", {text + QLatin1Char('x'), origin[0], 1.0}), limit);
    }
    QDBusMessage made = CallOn(probe, "AddText", {QStringLiteral("Se 1"), origin[0], 1.0}, 10000);
    ASSERT_EQ(made.type(), QDBusMessage::ReplyMessage);
    const QString handle = made.arguments().value(0).toString();
    CallOn(probe, "AddSelectionSet", {QStringLiteral("probe")}, 10000);
    auto select = [&](const QVariant& value) {
        return call("Select", {QStringLiteral("probe"), 5, origin[0], origin[0], ShortList({8}), VariantList({value})});
    };
    auto xdata = [&](const QVariant& value) {
        return call("SetXData", {handle, ShortList({1001, 1000}), VariantList({QStringLiteral("MAA"), value})});
    };
    // At the limit, the drawing answers for itself.
    EXPECT_EQ(select(two), "ok");
    EXPECT_EQ(xdata(four), "ok");
    // A string, a list of strings, a list of variants, a variant within a
    // variant, each one byte too long.
    for (const QVariant& inner : {QVariant(longOne), QVariant(QStringList{QStringLiteral("a"), longOne}),
                                  VariantList({QStringLiteral("a"), longOne}), Wrapped(longOne), Wrapped(Wrapped(longOne)),
                                  Wrapped(VariantList({Wrapped(longOne)})), Structure(longOne), Map(longOne)}) {
        SCOPED_TRACE(inner.metaType().name());
        EXPECT_EQ(select(inner), limit);
        EXPECT_EQ(xdata(inner), limit);
    }
    // Numbers that are none, wherever they lie.
    for (const QVariant& inner : {QVariant(nan), QVariant::fromValue(QList<double>{1, nan, 0}), Wrapped(nan),
                                  VariantList({1.0, Wrapped(std::numeric_limits<double>::infinity())}), Structure(nan), Map(nan)}) {
        SCOPED_TRACE(inner.metaType().name());
        EXPECT_NE(select(inner).find("a number argument is not finite"), std::string::npos);
    }
    // Lists: 65536 items are let through, 65537 refused, in variants too.
    const QList<double> many(65536, 1.0);
    EXPECT_EQ(call("AddCircle", {QVariant::fromValue(many), 1.0}).rfind("failure 5 ", 0), 0u);
    EXPECT_EQ(call("AddCircle", {QVariant::fromValue(many + QList<double>{1.0}), 1.0}), limit);
    const QString notCarried = QStringLiteral("failure 5 A value of a type this interface does not carry");
    EXPECT_EQ(select(QVariant::fromValue(QStringList(65536, QStringLiteral("a")))), notCarried.toStdString());
    EXPECT_EQ(select(QVariant::fromValue(QStringList(65537, QStringLiteral("a")))), limit);
    EXPECT_EQ(call("ScriptNextPick", {QStringList(65536, QStringLiteral("1F"))}), "org.freedesktop.DBus.Error.AccessDenied");
    EXPECT_EQ(call("ScriptNextPick", {QStringList(65537, QStringLiteral("1F"))}), limit);
    QList<QVariant> items(65537, QVariant(1.0));
    EXPECT_EQ(select(VariantList(items)), limit);
    EXPECT_EQ(select(QByteArray(65536, 'b')), notCarried.toStdString());
    EXPECT_EQ(select(QByteArray(65537, 'b')), limit);
    // The program still answers at once.
    QDeadlineTimer second(1000);
    EXPECT_EQ(call("Version", {}), "ok");
    EXPECT_FALSE(second.hasExpired());
    QDBusConnection::disconnectFromBus(QStringLiteral("probe"));
}

namespace {

// One value packed with the tag and numbers given, taken back.
bool UnpackOne(const std::string& tag, const std::vector<double>& numbers, vb::Variant& out) {
    cad::bus::PackedValues packed;
    packed.tags = tag;
    for (double d : numbers) packed.AddNumber(d);
    cad::bus::Unpacker values(packed);
    return values.Next(out);
}

}  // namespace

// The batched read's values at both ends of each type's range: what the
// program packs comes back as the same type and value, and one step beyond a
// range is refused as a malformed answer.  Pieces grow from 256 members to
// 4096, and the handles of one piece take at most 32 KiB.
TEST(BatchedRead, EveryRangeAndLimitHoldsAtBothEnds) {
    const std::vector<vb::Variant> edges = {vb::Variant(int16_t(-32768)), vb::Variant(int16_t(32767)),
                                            vb::Variant(int32_t(-2147483647 - 1)), vb::Variant(int32_t(2147483647)),
                                            vb::Variant(uint8_t(0)), vb::Variant(uint8_t(255)), vb::Variant(true),
                                            vb::Variant(-1.5e308), vb::Variant(std::string()), vb::Variant(std::string("\xC3\x98"))};
    cad::bus::PackedValues packed;
    for (const vb::Variant& v : edges) cad::bus::Pack(v, packed);
    cad::bus::Unpacker values(packed);
    for (const vb::Variant& v : edges) {
        vb::Variant back;
        ASSERT_TRUE(values.Next(back)) << Describe(vb::CStr(v));
        EXPECT_EQ(back.Type(), v.Type());
        EXPECT_EQ(vb::CStr(back), vb::CStr(v));
    }
    vb::Variant none;
    EXPECT_FALSE(values.Next(none));

    const std::pair<const char*, std::pair<double, double>> ranges[] = {
        {"n", {-32768, 32767}}, {"i", {-2147483648.0, 2147483647.0}}, {"y", {0, 255}}};
    for (const auto& [tag, range] : ranges) {
        SCOPED_TRACE(tag);
        vb::Variant v;
        EXPECT_TRUE(UnpackOne(tag, {range.first}, v));
        EXPECT_EQ(vb::CDbl(v), range.first);
        EXPECT_TRUE(UnpackOne(tag, {range.second}, v));
        EXPECT_EQ(vb::CDbl(v), range.second);
        EXPECT_FALSE(UnpackOne(tag, {range.first - 1}, v));
        EXPECT_FALSE(UnpackOne(tag, {range.second + 1}, v));
    }
    // An array's length: as many numbers as follow it, not one more.
    vb::Variant a;
    ASSERT_TRUE(UnpackOne("a", {2, 7, 8}, a));
    EXPECT_EQ(a.UBound(), 1);
    EXPECT_EQ(vb::CDbl(a.Element(1)), 8);
    EXPECT_TRUE(UnpackOne("a", {0}, a));
    EXPECT_FALSE(UnpackOne("a", {3, 7, 8}, a));
    EXPECT_FALSE(UnpackOne("a", {-1, 7}, a));
    for (const auto& [numbers, ok] : {std::pair{std::vector<double>{2, 7, 8}, true}, {{3, 7, 8}, false}}) {
        cad::bus::PackedValues p;
        p.tags = "a";
        for (double d : numbers) p.AddNumber(d);
        cad::bus::Unpacker skip(p);
        EXPECT_EQ(skip.Skip(), ok);
    }
    // Numbers and strings run out where they end.
    cad::bus::PackedValues p;
    p.AddNumber(1);
    p.AddNumber(2);
    p.AddString("x");
    p.strings += "y";   // no zero byte after it
    cad::bus::Unpacker u(p);
    double d = 0;
    EXPECT_TRUE(u.NextNumber(d));
    EXPECT_TRUE(u.NextNumber(d));
    EXPECT_EQ(d, 2);
    EXPECT_FALSE(u.NextNumber(d));
    std::string text;
    EXPECT_TRUE(u.NextString(text));
    EXPECT_EQ(text, "x");
    EXPECT_FALSE(u.NextString(text));

    // Piece sizes: 256, 512, 1024, 2048, then 4096 for good.
    const size_t sizes[] = {256, 512, 1024, 2048, 4096, 4096, 4096};
    for (uint32_t piece = 0; piece < 7; ++piece) EXPECT_EQ(cad::bus::EntityDataPieceSize(piece), sizes[piece]) << piece;
    EXPECT_EQ(cad::bus::EntityDataPieceSize(UINT32_MAX), 4096u);
    // The handles of a piece, each with its space: 4096 of seven characters
    // take 32768 bytes and fit; of eight characters, 3640 fit (32760 bytes)
    // and a 3641st would not; one handle longer than all is a piece alone.
    const std::vector<std::string> seven(5000, "ABCDEF1"), eight(5000, "ABCDEF12");
    EXPECT_EQ(cad::bus::EntityDataPieceEnd(seven, 0, 4096), 4096u);
    EXPECT_EQ(cad::bus::JoinHandles({seven.begin(), seven.begin() + 4096}).size() + 1, cad::bus::kEntityDataHandleBytes);
    EXPECT_EQ(cad::bus::EntityDataPieceEnd(seven, 0, 4095), 4095u);
    EXPECT_EQ(cad::bus::EntityDataPieceEnd(seven, 1000, 4096), 5000u);
    EXPECT_EQ(cad::bus::EntityDataPieceEnd(eight, 0, 4096), 3640u);
    EXPECT_EQ(cad::bus::EntityDataPieceEnd(eight, 10, 4096), 3650u);
    const std::vector<std::string> huge = {std::string(40000, 'F'), "1F"};
    EXPECT_EQ(cad::bus::EntityDataPieceEnd(huge, 0, 4096), 1u);
    EXPECT_EQ(cad::bus::EntityDataPieceEnd(huge, 1, 4096), 2u);
}

// Through the program: extended data at the ends of the 16-bit and 32-bit
// ranges comes through the batched read as the single call gives it, and a
// reply holds at most 4 MiB of answers: an entity's answer of exactly 4 MiB
// is sent and ends the reply, one byte more is left to the single call.
TEST(BatchedRead, TheProgramAnswersAtTheEndsOfEachLimit) {
    const std::string path = Copy("network_r2000.dxf");
    Program program({QString::fromStdString(path)});
    ASSERT_TRUE(NameOwned());
    cad::ClientRef c = cad::bus::AttachBus();
    ASSERT_TRUE(c);
    const std::string text = c->AddText("edges", {0, 0, 0}, 1), other = c->AddText("other", {0, 0, 0}, 1);
    cad::XData edges;
    edges.types = {1001, 1070, 1070, 1071, 1071, 1070, 1071};
    edges.values = {vb::Variant("EDGE"), vb::Variant(int16_t(-32768)), vb::Variant(int16_t(32767)),
                    vb::Variant(int32_t(-2147483647 - 1)), vb::Variant(int32_t(2147483647)), vb::Variant(int16_t(0)),
                    vb::Variant(int32_t(0))};
    c->SetXData(text, edges);
    c->AddSelectionSet("all");
    c->Select("all", cad::kSelectAll, {}, {}, {}, {});
    const std::vector<std::string> members = c->SelectionSetEntities("all");
    ASSERT_EQ(members.back(), other);
    const cad::XData back = c->GetXData(text, "EDGE");   // from the copy, fetched in one piece
    EXPECT_EQ(Describe(back), Describe(edges));
    EXPECT_EQ(back.values[2].Type(), vb::vbInteger);
    EXPECT_EQ(back.values[4].Type(), vb::vbLong);

    // Answers of one entity of 4 MiB - 1, 4 MiB and 4 MiB + 1 bytes: the
    // record's name "BIG" (4 bytes with its end and 2 of type code), then 64
    // texts, each its bytes, its end and 2 bytes of type code.
    auto big = [&](size_t bytes) {
        cad::XData x;
        x.types = {1001};
        x.values = {vb::Variant("BIG")};
        size_t total = 6;
        for (int i = 0; i < 63; ++i) {
            x.types.push_back(1000);
            x.values.push_back(vb::Variant(std::string(65533, static_cast<char>('a' + i % 26))));
            total += 65536;
        }
        x.types.push_back(1000);
        x.values.push_back(vb::Variant(std::string(bytes - total - 3, 'z')));
        c->SetXData(text, x);
        QDBusMessage r = CallOn(QDBusConnection::sessionBus(), "EntityData",
                                {QString::fromStdString(text + " " + other), QStringLiteral("GetXData"), QStringLiteral("BIG")}, 20000);
        EXPECT_EQ(r.type(), QDBusMessage::ReplyMessage) << r.errorMessage().toStdString();
        return r.arguments().size() == 7 ? cad::bus::Bytes(r.arguments()[1]) : QByteArray("no reply");
    };
    const size_t limit = cad::bus::kEntityDataReplyBytes;
    ASSERT_EQ(limit, 4u << 20);
    EXPECT_EQ(big(limit - 1), QByteArray("\1\1", 2));
    EXPECT_EQ(big(limit), QByteArray("\1", 1));
    EXPECT_EQ(big(limit + 1), QByteArray("\0\1", 2));
    QDeadlineTimer second(1000);
    EXPECT_EQ(c->Version(), "1.0");
    EXPECT_FALSE(second.hasExpired());
}

namespace {

// A stand-in for the drawing program, served from a thread of this test on
// a connection of its own: it gives the members of any set and answers each
// batched read with the reply the test scripts (a single call of a
// property answers "single").
class ScriptedProgram : public QDBusVirtualObject {
public:
    QString members;
    QList<QVariant> reply;   // the results of EntityData

    QString introspect(const QString&) const override { return cad::bus::IntrospectionXml(); }
    bool handleMessage(const QDBusMessage& msg, const QDBusConnection& connection) override {
        QDBusConnection bus(connection);
        QMutexLocker lock(&mutex_);
        if (msg.member() == QLatin1String("SelectionSetMembers")) bus.send(msg.createReply(QVariant(members)));
        else if (msg.member() == QLatin1String("EntityData")) bus.send(msg.createReply(reply));
        else if (msg.member() == QLatin1String("GetXData"))
            bus.send(msg.createReply({QVariant::fromValue(QList<short>{1001}), QVariantList{QVariant::fromValue(QDBusVariant(QStringLiteral("single")))}}));
        else bus.send(msg.createReply(QVariant(QStringLiteral("single"))));
        return true;
    }
    void Script(QList<QVariant> r) {
        QMutexLocker lock(&mutex_);
        reply = std::move(r);
    }

private:
    QMutex mutex_;
};

QByteArray Raw(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }
template <class T>
QByteArray RawOf(std::initializer_list<T> values) {
    QByteArray out;
    for (T v : values) out.append(reinterpret_cast<const char*>(&v), sizeof v);
    return out;
}

}  // namespace

// The client takes a batched reply only when it holds what was asked, no
// more and no less: as many flags as members at most, a string or three
// numbers for each flag given, a 32-bit count of extended-data entries for
// each member and a 16-bit type code for each entry, and every value within
// its type's range.  Anything else is refused as a malformed answer (13).
TEST(BatchedRead, TheClientRefusesAnAnswerBeyondWhatItAsked) {
    ASSERT_FALSE(NameOwned());
    QThread thread;
    thread.start();
    ScriptedProgram fake;
    fake.moveToThread(&thread);
    fake.members = QStringLiteral("A B C");
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("scripted"));
    ASSERT_TRUE(bus.registerVirtualObject(cad::bus::kPath, &fake, QDBusConnection::SingleNode));
    ASSERT_TRUE(bus.registerService(cad::bus::kService));
    cad::ClientRef c = cad::bus::AttachBus();
    ASSERT_TRUE(c);
    const QVariant revision = QVariant::fromValue(qulonglong(1));
    auto layers = [&](const std::string& given, const std::string& strings) {
        fake.Script({revision, Raw(given), Raw(strings), QByteArray(), QByteArray(), QByteArray(), QByteArray()});
        c->SelectionSetEntities("set");
        std::string out;
        for (const char* h : {"A", "B", "C"}) {
            try {
                out += c->Layer(h) + ",";
            } catch (const vb::VbError& e) {
                out += std::to_string(e.Number()) + ",";
            }
        }
        return out;
    };
    using namespace std::string_literals;
    EXPECT_EQ(layers("\1\1\1"s, "a\0b\0c\0"s), "a,b,c,");
    EXPECT_EQ(layers("\1\0\1"s, "a\0c\0"s), "a,single,c,");
    // Fewer flags than members: the rest is asked for again, and this
    // program's answer then holds two flags for the one member asked.
    EXPECT_EQ(layers("\1\1"s, "a\0b\0"s), "a,b,13,");
    EXPECT_EQ(layers("\1\1\1\1"s, "a\0b\0c\0d\0"s), "13,13,13,");   // a flag more than members asked
    EXPECT_EQ(layers(""s, ""s), "13,13,13,");
    EXPECT_EQ(layers("\1\1\1"s, "a\0b\0"s), "13,13,13,");            // a string short
    EXPECT_EQ(layers("\1\1\1"s, "a\0b\0c"s), "13,13,13,");           // the last one unended

    // Extended data of the first member: its application ("EDGE") and an Integer.
    auto xdata = [&](const QByteArray& counts, const QByteArray& types, double integer) {
        cad::bus::PackedValues values;
        values.AddString("EDGE");
        values.tags = "s";
        values.tags += 'n';
        values.AddNumber(integer);
        fake.Script({revision, Raw("\1"s), Raw(values.strings), Raw(values.numbers), Raw(values.tags), types, counts});
        c->SelectionSetEntities("set");
        try {
            return Describe(c->GetXData("A", "EDGE"));
        } catch (const vb::VbError& e) {
            return std::to_string(e.Number());
        }
    };
    const QByteArray codes = RawOf<int16_t>({1001, 1070});
    EXPECT_EQ(xdata(RawOf<uint32_t>({2}), codes, 32767), "1001:String=EDGE 1070:Integer=32767 ");
    EXPECT_EQ(xdata(RawOf<uint32_t>({2}), codes, -32768), "1001:String=EDGE 1070:Integer=-32768 ");
    EXPECT_EQ(xdata(RawOf<uint32_t>({2}), codes, 32768), "13");
    EXPECT_EQ(xdata(RawOf<uint32_t>({2}), codes, -32769), "13");
    EXPECT_EQ(xdata(RawOf<uint32_t>({2}) + QByteArray(1, '\0'), codes, 1), "13");   // a count with a byte more
    EXPECT_EQ(xdata(RawOf<uint32_t>({2}).left(3), codes, 1), "13");
    EXPECT_EQ(xdata(RawOf<uint32_t>({3}), codes, 1), "13");                           // more entries than values
    EXPECT_EQ(xdata(RawOf<uint32_t>({2}), codes + RawOf<int16_t>({1000}), 1), "13");  // a type code more
    EXPECT_EQ(xdata(RawOf<uint32_t>({2}), codes.left(2), 1), "13");

    c.reset();
    bus.unregisterService(cad::bus::kService);
    bus.unregisterObject(cad::bus::kPath);
    QDBusConnection::disconnectFromBus(QStringLiteral("scripted"));
    thread.quit();
    thread.wait();
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
