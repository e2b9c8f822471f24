// libFuzzer target: the drawing reader on arbitrary bytes.  A file is either
// refused with a DxfError or read; a drawing that was read must answer the
// typed views, write out, and read again to the same text (but not without
// its end-of-file marker, and the same with zero bytes after it); changed,
// it writes out and reads again with the same entities.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/cad/document.h"
#include "platform/cad/local_client.h"
#include "platform/runtime/vberror.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cad::Document doc;
    try {
        doc = cad::Document::Parse(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const cad::DxfError&) {
        return 0;
    }
    doc.Layers();
    doc.BlockNames();
    doc.ActiveLayer();
    cad::LocalClient client(&doc);
    for (const std::string& h : doc.ModelSpaceHandles()) {
        const cad::Record* e = doc.Entity(h);
        if (!e) std::abort();
        cad::EntityClassName(*e);
        doc.GetXData(*e, "");
        try {
            if (e->Type() == "LWPOLYLINE") client.Coordinates(h);
            if (e->Type() == "TEXT") client.Alignment(h);
        } catch (const vb::VbError&) {
        }
    }
    std::string once = doc.Write();
    cad::Document again;
    try {
        again = cad::Document::Parse(once);
    } catch (const cad::DxfError& e) {
        std::abort();   // what we wrote must read again
    }
    if (again.Write() != once) std::abort();
    // Cut before its end-of-file marker, it is refused; padded with zero
    // bytes after the marker, it reads as it was.
    const std::string marker = "  0\nEOF\n";
    if (once.size() < marker.size() || once.compare(once.size() - marker.size(), marker.size(), marker) != 0) std::abort();
    try {
        cad::Document::Parse(once.substr(0, once.size() - marker.size()));
        std::abort();
    } catch (const cad::DxfError&) {
    }
    try {
        if (cad::Document::Parse(once + std::string(64, '\0')).Write() != once) std::abort();
    } catch (const cad::DxfError&) {
        std::abort();
    }
    // Changing the drawing keeps it readable.
    try {
        client.AddLayer("SEWER");
        client.SetActiveLayer("SEWER");
        std::string c = client.AddCircle({1, 2, 0}, 3);
        cad::XData x;
        x.types = {1001, 1000};
        x.values = {vb::Variant("MAA"), vb::Variant("1")};
        client.SetXData(c, x);
    } catch (const vb::VbError&) {
        return 0;   // an R12 drawing without tables, say
    }
    // What was changed and saved opens again with the same entities.
    try {
        if (cad::Document::Parse(doc.Write()).ModelSpaceHandles() != doc.ModelSpaceHandles()) std::abort();
    } catch (const cad::DxfError&) {
        std::abort();
    }
    return 0;
}
