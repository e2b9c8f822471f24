// The real main window attached to a drawing held in this process: the
// attacher hands out a client over a document the test builds.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "exchange/acad.h"
#include "platform/cad/document.h"
#include "platform/cad/local_client.h"
#include "platform/runtime/vberror.h"
#include "tests/mainwindow/form1_fixture.h"

// A client whose chosen member fails with a chosen number, every time.
class FaultyClient : public cad::LocalClient {
public:
    using LocalClient::LocalClient;
    std::string failIn;
    int32_t number = cad::kErrGone;
    int failures = 0;

    void AddSelectionSet(const std::string& name) override {
        Fail("AddSelectionSet");
        LocalClient::AddSelectionSet(name);
    }
    std::string AddCircle(const cad::Point& c, double r) override {
        Fail("AddCircle");
        return LocalClient::AddCircle(c, r);
    }
    void SelectOnScreen(const std::string& set) override {
        Fail("SelectOnScreen");
        LocalClient::SelectOnScreen(set);
    }
    std::string AddText(const std::string& t, const cad::Point& p, double h) override {
        Fail("AddText");
        return LocalClient::AddText(t, p, h);
    }

private:
    void Fail(const char* member) {
        if (failIn != member) return;
        ++failures;
        throw vb::VbError(number, std::string(member) + " refused");
    }
};

class AcadTest : public Form1Test {
protected:
    void SetUp() override {
        Form1Test::SetUp();
        doc_ = cad::Document::New();
        client_ = std::make_shared<FaultyClient>(&doc_);
        cad::SetAttacher([this] { return client_; });
        ForgetAcad();
        dialogs().ClearLog();
    }
    void TearDown() override {
        cad::SetAttacher(nullptr);
        ForgetAcad();
        Form1Test::TearDown();
    }
    // Attached as a successful preparation leaves it.
    void Attach() { AcadApp = AcadDoc = AcadModelSpace = client_; }

    // A pipe: a LINE on layer SEWER with its "MAA" and "sewer" records.
    std::string AddPipe(int32_t record, int next, int prev, const std::string& lat, cad::Point a, cad::Point b,
                        int branch1 = 0, int branch2 = 0, bool sewerRecord = true) {
        const std::string h = doc_.AddLine(a, b);
        client_->SetLayer(h, "SEWER");
        cad::XData maa;
        maa.types = {1001, 1071, 1070, 1070, 1070, 1070, 1070, 1070};
        maa.values = {vb::Variant("MAA"), vb::Variant(record), vb::Variant(int16_t(next)), vb::Variant(int16_t(prev)),
                      vb::Variant(int16_t(branch1)), vb::Variant(int16_t(branch2)), vb::Variant(int16_t(0)),
                      vb::Variant(int16_t(0))};
        client_->SetXData(h, maa);
        if (!sewerRecord) return h;
        cad::XData sewer;
        sewer.types = {1001, 1000, 1000, 1000, 1040, 1040, 1040, 1040, 1000};
        sewer.values = {vb::Variant("sewer"), vb::Variant("MH" + std::to_string(record)),
                        vb::Variant("MH" + std::to_string(next)), vb::Variant(""), vb::Variant(1.5 * record),
                        vb::Variant(0.25), vb::Variant(0.0), vb::Variant(0.0), vb::Variant(lat)};
        client_->SetXData(h, sewer);
        return h;
    }
    // The handles of the model-space entities of a kind ("CIRCLE", "TEXT").
    std::vector<std::string> EntitiesOf(const std::string& type) {
        std::vector<std::string> out;
        for (const std::string& h : doc_.ModelSpaceHandles()) {
            if (doc_.Entity(h)->Type() == type) out.push_back(h);
        }
        return out;
    }

    // The drawing as saved and read back by an independent reader (Debian's
    // ezdxf, run by Debian's own interpreter): one line per layer with its
    // colour, the active layer, then each model-space entity followed by one
    // line per extended-data record ("  name code:value ...").
    std::vector<std::string> ReadBack() {
        const std::string path = (dir_ / "drawing.dxf").string(), script = path + ".py", out = path + ".out";
        std::string error;
        if (!doc_.Save(path, &error)) return {"cannot save: " + error};
        std::ofstream(script) << R"(import sys, ezdxf
doc = ezdxf.readfile(sys.argv[1])
for e in doc.audit().errors:
    print('audit error', e.message)
num = lambda v: '%.15g' % v
point = lambda p: ' '.join(num(c) for c in p)
for layer in doc.layers:
    if layer.dxf.name != 'Defpoints':   # added by ezdxf as it loads a file without it
        print('layer', layer.dxf.name, layer.dxf.color)
print('active', doc.header.get('$CLAYER', '0'))
for e in doc.modelspace():
    kind = e.dxftype()
    if kind == 'CIRCLE':
        print('circle', e.dxf.layer, point(e.dxf.center), num(e.dxf.radius))
    elif kind == 'TEXT':
        print('text', e.dxf.layer, e.dxf.text, num(e.dxf.height), e.dxf.halign, e.dxf.valign,
              point(e.dxf.insert), point(e.dxf.align_point))
    else:
        print(kind.lower(), e.dxf.layer)
    for app in (e.xdata.data if e.xdata else []):
        print(' ', app, ' '.join('%d:%s' % (t.code, num(t.value) if isinstance(t.value, float) else t.value)
                                 for t in e.get_xdata(app)))
)";
        const int rc = std::system(("/usr/bin/python3 " + script + " " + path + " >" + out + " 2>&1").c_str());
        std::vector<std::string> lines;
        std::ifstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        if (rc != 0) lines.push_back("exit status " + std::to_string(rc));
        return lines;
    }

    cad::Document doc_;
    std::shared_ptr<FaultyClient> client_;
};
