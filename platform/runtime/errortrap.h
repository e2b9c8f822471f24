// Statements that run under "resume next": an error of the statement is
// recorded in the handler's ErrorTrap (the runtime's Err object) and the
// handler goes on with its next statement.
//
//     vb::ErrorTrap trap;
//     vb::resumeNext(trap, [&] { picture.Cls(); });
//     vb::resumeNext(trap, [&] { x = vb::CInt(text); });
//     if (trap.Number() != 0) ...
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

#include "platform/runtime/vberror.h"

namespace vb {

class ErrorTrap {
public:
    int32_t Number() const { return number_; }
    const std::string& Description() const { return description_; }
    const std::string& Source() const { return source_; }
    bool HasError() const { return number_ != 0; }
    // Err.Clear.
    void Clear() {
        number_ = 0;
        description_.clear();
        source_.clear();
    }
    void Record(const VbError& e) {
        number_ = e.Number();
        description_ = e.Description();
        source_ = e.Source();
    }

private:
    int32_t number_ = 0;
    std::string description_;
    std::string source_;
};

// Runs one statement.  A VbError is recorded in trap and swallowed; so is any
// other exception, recorded as error 51 ("Internal error") with its text, so
// that no failure of a statement ends the handler.  Returns true when the
// statement raised nothing (the trap then keeps an earlier error, as Err
// does until cleared).
template <class F>
bool resumeNext(ErrorTrap& trap, F&& statement) {
    try {
        std::forward<F>(statement)();
        return true;
    } catch (const VbError& e) {
        trap.Record(e);
    } catch (const std::exception& e) {
        trap.Record(VbError(51, e.what()));
    }
    return false;
}

}  // namespace vb
