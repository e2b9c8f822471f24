// How the exchange code makes its calls to the drawing program: every call
// runs under its procedure's failure rule.  A selection set that exists
// already is deleted and the call made once more (only once: a second failure
// goes to the rule like any other); every other failure goes to the
// procedure's own handler, which decides whether the procedure goes on.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "exchange/acad.h"
#include "platform/runtime/vberror.h"

// The attached client, or error 91 when nothing is attached.
inline cad::Client& Attached(const cad::ClientRef& object) {
    if (!object) vb::RaiseError(vb::errObjectNotSet);
    return *object;
}

// Selects into `set` every entity of the drawing that matches the filter
// pairs (group codes and values) and gives them in the set's order.
inline std::vector<std::string> SelectMatching(cad::Client& doc, const std::string& set,
                                               const std::vector<int16_t>& codes,
                                               const std::vector<vb::Variant>& values) {
    const cad::Point corner;   // the select-all mode ignores the corners
    doc.Select(set, cad::kSelectAll, corner, corner, codes, values);
    return doc.SelectionSetEntities(set);
}

// Forgets the drawing program when a failure says it is gone.
inline void ForgetAcadWhenGone(const vb::VbError& e) {
    if (e.Number() == cad::kErrNotRunning || e.Number() == cad::kErrGone) ForgetAcad();
}

// Runs `call`.  Returns true when it succeeded or `onFailure` chose to go on,
// false when the procedure ends.  `selectionSet` is the set that a duplicate
// name failure deletes.
template <class F>
bool AcadStep(const std::string& selectionSet, F&& call, const std::function<bool(const vb::VbError&)>& onFailure) {
    for (int attempt = 0;; ++attempt) {
        vb::VbError failure(0, {});
        try {
            call();
            return true;
        } catch (const vb::VbError& e) {
            failure = e;
        } catch (const std::exception& e) {
            failure = vb::VbError(51, e.what());
        }
        if (failure.Number() == cad::kErrDuplicateName && attempt == 0) {
            // Delete the set and make the call once more; a set already gone
            // is as good as deleted.
            try {
                Attached(AcadDoc).DeleteSelectionSet(selectionSet);
                continue;
            } catch (const vb::VbError& e) {
                if (e.Number() == cad::kErrKeyNotFound) continue;
                failure = e;
            } catch (const std::exception& e) {
                failure = vb::VbError(51, e.what());
            }
        }
        ForgetAcadWhenGone(failure);
        return onFailure(failure);
    }
}
