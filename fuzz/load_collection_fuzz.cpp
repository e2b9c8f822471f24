// libFuzzer target: LoadCollection on arbitrary bytes.  Each input is tried
// twice: as it is, and with the property bag's checksum recomputed so that
// the fuzzer reaches the collection's own checks.  A load that succeeds must
// give a sound tree that saves and loads again.
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "model/node_collection.h"
#include "model/sewer.h"
#include "platform/runtime/propertybag.h"
#include "platform/runtime/vberror.h"

namespace {

void FixChecksum(std::vector<uint8_t>& b) {
    if (b.size() < 14) return;
    uint32_t h = vb::PropertyBagChecksum(b.data(), b.size() - 4);
    for (int i = 0; i < 4; ++i) b[b.size() - 4 + static_cast<size_t>(i)] = static_cast<uint8_t>(h >> (8 * i));
}

void Check(const std::vector<uint8_t>& bytes) {
    model::cNodeCollection c;
    c.SerializeObject = model::SerializeSewerObject;
    bool loaded = false;
    try {
        loaded = c.LoadCollection(bytes);
    } catch (const vb::VbError& e) {
        if (e.Number() != model::cNodeCollection::kErrInvalidCollectionBytes) std::abort();
        if (c.ItemCount() != 0) std::abort();
        return;
    }
    std::string fault = c.CheckConsistency();
    if (!fault.empty()) {
        std::fprintf(stderr, "unsound tree after load: %s\n", fault.c_str());
        std::abort();
    }
    if (!loaded) {
        if (c.ItemCount() != 0) std::abort();
        return;
    }
    if (c.ItemCount() == 0) return;
    std::vector<uint8_t> again;
    if (!c.SaveCollection(again)) return;  // e.g. a value the bag cannot hold
    model::cNodeCollection d;
    d.SerializeObject = model::SerializeSewerObject;
    if (!d.LoadCollection(again) || d.ItemCount() != c.ItemCount()) {
        std::fprintf(stderr, "a loaded tree does not load again after saving\n");
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    Check(bytes);
    FixChecksum(bytes);
    Check(bytes);
    return 0;
}
